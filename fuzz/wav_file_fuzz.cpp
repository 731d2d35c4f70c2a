// libFuzzer target: the WAVE reader on arbitrary bytes.

#include <cstddef>
#include <cstdint>

#include "modules/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const tf::WavAudio a = tf::read_wav({data, size});
        for (const auto& c : a.channels)
            if (c.size() != a.frames()) __builtin_trap();
    } catch (const tf::WavFileError&) {
    }
    return 0;
}

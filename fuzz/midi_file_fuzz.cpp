// libFuzzer target: the Standard MIDI File reader on arbitrary bytes.

#include <cstddef>
#include <cstdint>

#include "modules/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const tf::MidiFile m = tf::read_midi_file({data, size});
        // Times must be finite and ordered.
        double last = 0.0;
        for (const auto& e : m.events) {
            if (!(e.seconds >= last)) __builtin_trap();
            last = e.seconds;
        }
    } catch (const tf::MidiFileError&) {
    }
    return 0;
}

#include "modules/osc_pitch.h"

#include <cmath>

#include "engine/audio_master.h"

namespace tf {

std::uint32_t OscPitchTableEntry(int i, float sample_rate) {
    const double hz = 440.0 * std::pow(2.0, 3.0 + i / 512.0);
    return static_cast<std::uint32_t>(std::floor(hz * 4294967296.0 / sample_rate + 0.5));
}

const std::uint32_t* GetOscPitchTable(TfAudioMaster& master) {
    const float fs = master.sample_rate;
    const LookupTable& t =
        master.lookup_tables().GetWordTable("osc pitch lookup", osc_pitch_table_size, fs, [fs](std::span<std::uint32_t> w) {
            for (std::size_t i = 0; i < w.size(); ++i) w[i] = OscPitchTableEntry(static_cast<int>(i), fs);
        });
    return t.words().data();
}

}  // namespace tf

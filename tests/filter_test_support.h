#pragma once
// A rig for filter tests: a playback source feeding one filter made by its
// registered name, sinks on the wired outputs, and capture of output blocks.

#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/module_factory.h"
#include "engine_test_modules.h"
#include "support/audio_measure.h"

namespace tf::testing {

// Plays `signal` from engine time 0 (running); after the last sample it
// holds `hold_value` with a static notice, unless `loop` repeats the signal.
// PlayAgain() starts playing `signal` again from its beginning.
class PlaybackSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<PlaybackSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        ug_base::Open();
        if (signal.empty()) {
            StartHolding();
        } else {
            SetProcessFunction(&PlaybackSource::process_play);
            GetPlug(0)->TransmitState(clock, ST_RUN);
        }
    }
    void process_play(int offset, int count) {
        for (int i = 0; i < count; ++i) {
            if (position >= signal.size()) {
                if (!loop) {
                    // Finish the stretch holding; the notice goes out at this sample.
                    const int done = i;
                    std::fill(out + offset + done, out + offset + count, hold_value);
                    const std::uint32_t at = clock + static_cast<std::uint32_t>(done);
                    SetProcessFunction(&PlaybackSource::process_hold);
                    GetPlug(0)->TransmitState(at, ST_STATIC);
                    return;
                }
                position = 0;
            }
            out[offset + i] = signal[position++];
        }
    }
    void process_hold(int offset, int count) { std::fill(out + offset, out + offset + count, hold_value); }
    // From the module's clock: play the signal again from its start.
    void PlayAgain() {
        position = 0;
        SetProcessFunction(&PlaybackSource::process_play);
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    // From the module's clock: hold `value`.
    void Hold(float value) {
        hold_value = value;
        StartHolding();
    }

    std::vector<float> signal;
    float hold_value = 0.0f;
    bool loop = false;
    float* out = nullptr;

private:
    void StartHolding() {
        SetProcessFunction(&PlaybackSource::process_hold);
        GetPlug(0)->TransmitState(clock, ST_STATIC);
    }
    std::size_t position = 0;
};

// Deterministic white noise in [-amplitude, amplitude].
inline std::vector<float> Noise(std::size_t n, float amplitude, std::uint32_t seed = 12345) {
    std::vector<float> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return v;
}

inline std::vector<float> Sine(std::size_t n, double hz, double sample_rate, float amplitude) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = amplitude * static_cast<float>(std::sin(2.0 * 3.14159265358979 * hz * double(i) / sample_rate));
    return v;
}

class FilterRig {
public:
    // The filter of registered type `type`, its "Signal" fed by a playback source.
    explicit FilterRig(std::string_view type, float sample_rate = 44100.0f, int host_block = 512)
        : fixture_(host_block) {
        fixture_.master.SetSampleRate(sample_rate);
        source = fixture_.Add<PlaybackSource>(30);
        auto made = CreateModuleByName(type);
        if (!made) throw std::runtime_error("no DSP class for " + std::string(type));
        made->master = &fixture_.master;
        made->sort_order = 20;
        made->CreatePlugsFromDeclarations();
        filter = fixture_.root.AddModule(std::move(made));
        filter->SetupPlugs();
        ConnectPlugs(source->GetPlug(0), filter->GetPlug(0));
    }

    // Gives an input or parameter pin its value as text (volts for audio).
    void Set(int pin, std::string_view text) { filter->GetPlug(pin)->SetValueFromText(text); }
    // Wires an output to a sink so that it counts as connected.
    void Wire(int pin) {
        Recorder* sink = fixture_.Add<Recorder>(10);
        ConnectPlugs(filter->GetPlug(pin), sink->GetPlug(0));
    }
    // A second playback source feeding input `pin` (for running controls).
    PlaybackSource* Feed(int pin) {
        PlaybackSource* s = fixture_.Add<PlaybackSource>(30);
        ConnectPlugs(s->GetPlug(0), filter->GetPlug(pin));
        return s;
    }
    void Start() { fixture_.Start(); }

    // Processes at least `samples` samples in whole engine blocks and returns
    // the samples of each of `pins` (output pins of the filter).
    std::vector<std::vector<float>> Run(std::size_t samples, const std::vector<int>& pins) {
        const int block = fixture_.master.block_size;
        std::vector<std::vector<float>> captured(pins.size());
        for (std::size_t done = 0; done < samples; done += static_cast<std::size_t>(block)) {
            fixture_.master.Process(block);
            for (std::size_t p = 0; p < pins.size(); ++p) {
                const float* s = filter->GetPlug(pins[p])->GetSamplePtr()->samples;
                captured[p].insert(captured[p].end(), s, s + block);
            }
        }
        return captured;
    }
    std::vector<float> Run(std::size_t samples, int pin) { return Run(samples, std::vector<int>{pin})[0]; }

    bool FilterInRunList() const {
        for (EventProcessor* m = fixture_.master.run_list_first(); m; m = m->next)
            if (m == filter) return true;
        return false;
    }

    TfAudioMaster& master() { return fixture_.master; }
    int block_size() const { return fixture_.master.block_size; }

private:
    EngineFixture fixture_;

public:
    PlaybackSource* source = nullptr;
    ug_base* filter = nullptr;
};

// Frequency response from an impulse response: |H| at `hz`, interpolated
// between FFT bins (no window: the response has decayed within the length).
class Response {
public:
    Response(const std::vector<float>& impulse_response, double impulse_height, double sample_rate)
        : rate_(sample_rate) {
        std::size_t n = 1;
        while (n * 2 <= impulse_response.size()) n *= 2;
        bins_.resize(n);
        for (std::size_t i = 0; i < n; ++i) bins_[i] = impulse_response[i] / impulse_height;
        test::fft(bins_);
        bins_.resize(n / 2 + 1);
        n_ = n;
    }
    std::complex<double> At(double hz) const {
        const double position = hz * double(n_) / rate_;
        const std::size_t i = static_cast<std::size_t>(position);
        const double f = position - double(i);
        if (i + 1 >= bins_.size()) return bins_.back();
        return bins_[i] * (1 - f) + bins_[i + 1] * f;
    }
    double Db(double hz) const { return test::to_db(std::abs(At(hz))); }
    // Largest gain over [from, to] hertz and where it lies.
    std::pair<double, double> PeakDb(double from, double to) const {
        double best = -1e9, where = from;
        for (std::size_t i = 1; i < bins_.size(); ++i) {
            const double hz = double(i) * rate_ / double(n_);
            if (hz < from || hz > to) continue;
            const double db = test::to_db(std::abs(bins_[i]));
            if (db > best) best = db, where = hz;
        }
        return {best, where};
    }

private:
    std::vector<std::complex<double>> bins_;
    std::size_t n_ = 0;
    double rate_;
};

// Impulse response of output `pin`: an impulse of `height` at time 0.
inline Response MeasureResponse(FilterRig& rig, int pin, double sample_rate, float height = 1.0f,
                                std::size_t length = 65536) {
    rig.source->signal.assign(1, height);
    rig.source->hold_value = 0.0f;
    rig.Start();
    return Response(rig.Run(length, pin), height, sample_rate);
}

}  // namespace tf::testing

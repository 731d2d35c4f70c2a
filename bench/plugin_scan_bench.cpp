// What a host's plug-in scan costs: dlopen a bundled plug-in, call its entry
// point, read everything a scanner lists (name, vendor, product, parameter
// and program names, the can-do answers), effClose and dlclose.
//
// "FirstLoad" gives every iteration a library file of its own, so each one
// maps, relocates and initialises the runtime afresh, as a host's scan of a
// folder does; "Reload" opens the same file again and again (the runtime
// stays mapped once loaded, so this is the cost of building the effect).
//
// The runtime is $TESSAFORM_PLUGIN_RUNTIME, else libtessaform_plugin.so
// beside this program (both live in the build folder).

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/example_patch.h"
#include "host/patch_bundle.h"
#include "host/vst_abi.h"

namespace tf {
namespace {

namespace fs = std::filesystem;

constexpr int kFirstLoads = 30;  // library copies made for the cold scans

intptr_t scan_host(AEffect*, std::int32_t opcode, std::int32_t, intptr_t, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        default: return 0;
    }
}

fs::path runtime_path() {
    if (const char* env = std::getenv("TESSAFORM_PLUGIN_RUNTIME"); env && *env) return env;
    return fs::read_symlink("/proc/self/exe").parent_path() / "libtessaform_plugin.so";
}

std::vector<std::uint8_t> read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A folder of bundled plug-ins, each file a separate library to the loader.
class BundleFolder {
public:
    explicit BundleFolder(int copies) {
        std::string pattern = (fs::temp_directory_path() / "tf_scan_bench_XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temp folder");
        folder_ = pattern;
        ExamplePatchSpec layout;
        layout.title = "Scan Bench";
        layout.audio_inputs = 2;
        layout.audio_outputs = 3;
        layout.program_count = 128;  // every name is read
        const std::vector<std::uint8_t> image = bundle_patch_image(read_bytes(runtime_path()), make_example_patch(layout));
        for (int i = 0; i < copies; ++i) {
            const fs::path file = folder_ / ("ScanBench" + std::to_string(i) + ".so");
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
            if (!out) throw std::runtime_error("cannot write " + file.string());
            files_.push_back(file.string());
        }
    }
    ~BundleFolder() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const std::string& file(std::size_t i) const { return files_.at(i); }

private:
    fs::path folder_;
    std::vector<std::string> files_;
};

// One scan; returns the bytes of text read so that nothing is optimised away.
std::size_t scan_once(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(dlerror());
    auto entry = reinterpret_cast<VstPluginEntry>(dlsym(library, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<VstPluginEntry>(dlsym(library, "main"));
    AEffect* effect = entry ? entry(scan_host) : nullptr;
    if (!effect) {
        dlclose(library);
        throw std::runtime_error("no effect from " + path);
    }
    auto dispatch = [effect](std::int32_t opcode, std::int32_t index = 0, intptr_t value = 0, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    };
    std::size_t read = 0;
    char text[256];
    auto read_text = [&](std::int32_t opcode, std::int32_t index) {
        text[0] = 0;
        dispatch(opcode, index, 0, text);
        read += std::char_traits<char>::length(text);
    };
    dispatch(effOpen);
    read_text(effGetEffectName, 0);
    read_text(effGetVendorString, 0);
    read_text(effGetProductString, 0);
    read += static_cast<std::size_t>(dispatch(effGetVendorVersion) + dispatch(effGetVstVersion) +
                                      dispatch(effGetPlugCategory));
    for (std::int32_t i = 0; i < effect->numParams; ++i) read_text(effGetParamName, i);
    for (std::int32_t i = 0; i < effect->numPrograms; ++i) read_text(effGetProgramNameIndexed, i);
    for (const char* can : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent",
                            "receiveVstTimeInfo", "sendVstTimeInfo", "offline", "midiProgramNames", "bypass"}) {
        read += static_cast<std::size_t>(dispatch(effCanDo, 0, 0, const_cast<char*>(can)) + 1);
    }
    read += static_cast<std::size_t>(effect->numInputs + effect->numOutputs + effect->uniqueID);
    dispatch(effClose);
    dlclose(library);
    return read;
}

void BM_PluginScanFirstLoad(benchmark::State& state) {
    const BundleFolder bundles(kFirstLoads);
    std::size_t next = 0;
    for (auto _ : state) benchmark::DoNotOptimize(scan_once(bundles.file(next++)));
}
// Each load stays mapped: a fixed count keeps the process small.
BENCHMARK(BM_PluginScanFirstLoad)->Iterations(kFirstLoads)->Unit(benchmark::kMillisecond);

void BM_PluginScanReload(benchmark::State& state) {
    const BundleFolder bundles(1);
    for (auto _ : state) benchmark::DoNotOptimize(scan_once(bundles.file(0)));
}
BENCHMARK(BM_PluginScanReload)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tf

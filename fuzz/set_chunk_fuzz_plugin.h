#pragma once
// The plug-in instance that the chunk fuzz target feeds, and the chunks its
// seed corpus holds. The patch has sliders, a list entry, a text entry and
// patch parameters of the three kinds, so that every reading path of a chunk
// has something to land on. Shared by the fuzz target and the test that
// writes and checks its seeds.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/archive.h"
#include "document/container.h"
#include "document/container_chunk.h"
#include "document/control.h"
#include "document/module_factory.h"
#include "host/example_patch.h"
#include "host/tf_vst.h"
#include "parameters/patch_manager.h"

namespace tf::fuzz_chunk {

using Bytes = std::vector<std::uint8_t>;

inline intptr_t quiet_host(AEffect*, std::int32_t opcode, std::int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

inline Bytes make_patch() {
    ExamplePatchSpec layout;
    layout.title = "Chunk Fuzz";
    layout.audio_inputs = 0;
    layout.audio_outputs = 0;
    layout.midi_in = false;
    layout.midi_through = false;
    layout.patch_select = true;
    layout.plugin_id = "TfCf";
    layout.customise = [](CContainer& main) {
        CUG* io = find_or_create_io_module(main);
        for (const char* title : {"Cutoff", "Drive"}) {
            CUG* slider = add_example_module(main, "Slider", title);
            example_join(example_pin(*slider, "Signal Out"), example_spare_pin(*io));
        }
        add_example_module(main, "List Entry", "Wave");
        add_example_module(main, "Text Entry", "Label");
        CPatchManager& manager = main.ensure_patch_manager();
        auto level = std::make_unique<PatchParameterFloat>();
        level->name = "Level";
        level->set_default(2.5f);
        manager.register_parameter(std::move(level));
        auto mode = std::make_unique<PatchParameterEnum>();
        mode->name = "Mode";
        mode->set_default(1);
        manager.register_parameter(std::move(mode));
        auto sample = std::make_unique<PatchParameterText>();
        sample->name = "Sample";
        sample->set_default("a.wav");
        manager.register_parameter(std::move(sample));
    };
    return make_example_patch(layout);
}

// One plug-in instance of the patch, opened through its entry point.
class Plugin {
public:
    Plugin() {
        std::string folder = (std::filesystem::temp_directory_path() / "tf_chunk_fuzz_XXXXXX").string();
        if (!mkdtemp(folder.data())) throw std::runtime_error("cannot make a temp folder");
        const Bytes patch = make_patch();
        std::ofstream(folder + "/chunk.dat", std::ios::binary)
            .write(reinterpret_cast<const char*>(patch.data()), static_cast<std::streamsize>(patch.size()));
        PatchOrigin origin;
        origin.library_path = folder + "/chunk.so";
        effect_ = tessaform_main(quiet_host, origin);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);  // the patch is read at start-up
        if (!effect_) throw std::runtime_error("the chunk fuzz patch did not load");
    }
    ~Plugin() { dispatch(effClose); }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }
    AEffect* effect() const { return effect_; }
    CContainer& main() const { return *static_cast<TfVst*>(effect_->object)->main(); }

    Bytes get_chunk(bool one_program) {
        void* data = nullptr;
        const intptr_t size = dispatch(effGetChunk, one_program ? 1 : 0, 0, &data);
        if (!data || size <= 0) return {};
        return Bytes(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    }
    intptr_t set_chunk(const std::uint8_t* data, std::size_t size, bool one_program) {
        return dispatch(effSetChunk, one_program ? 1 : 0, static_cast<intptr_t>(size),
                        const_cast<std::uint8_t*>(data));
    }
    // Every program different, through the host's own calls.
    void vary_programs() {
        for (std::int32_t p = 0; p < effect_->numPrograms; ++p) {
            dispatch(effSetProgram, 0, p);
            char name[24];
            std::snprintf(name, sizeof name, "Fuzz %d", p);
            dispatch(effSetProgramName, 0, 0, name);
            for (std::int32_t i = 0; i < effect_->numParams; ++i)
                effect_->setParameter(effect_, i, float((p * 5 + i * 3) % 16) / 16.0f);
        }
        dispatch(effSetProgram, 0, 0);
    }

private:
    AEffect* effect_ = nullptr;
};

// The seeds: real chunks of the patch and hand-made ones for the other tags.
inline std::map<std::string, Bytes> make_seeds() {
    std::map<std::string, Bytes> seeds;
    Plugin plugin;
    plugin.vary_programs();
    seeds["bank"] = plugin.get_chunk(false);
    plugin.dispatch(effSetProgram, 0, 3);
    seeds["program"] = plugin.get_chunk(true);

    const std::vector<ChunkParameter> list = chunk_parameter_list(plugin.main());
    {
        // Names in another order than the host's, two programs.
        CArchive ar;
        ar.WriteInt(CHUNK_TAG_BY_NAME);
        ar.WriteInt(static_cast<std::int32_t>(list.size()));
        for (auto it = list.rbegin(); it != list.rend(); ++it) ar.WriteText(it->parameter->name());
        ar.WriteInt(2);
        ar.WriteText("First");
        ar.WriteText("Second");
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            ar.WriteText(it->parameter->value_text());
            ar.WriteText("1");
        }
        seeds["by_name"] = ar.bytes();
    }
    {
        // Ids with one that names nothing, and no patch parameters.
        CArchive ar;
        ar.WriteInt(CHUNK_TAG_BY_ID);
        ar.WriteInt(static_cast<std::int32_t>(list.size() + 1));
        ar.WriteInt(12345);
        for (const auto& p : list) ar.WriteInt(p.id);
        ar.WriteInt(1);
        ar.WriteText("Missing");
        ar.WriteText("lost");
        for (const auto& p : list) ar.WriteText(p.parameter->value_text());
        seeds["missing_control"] = ar.bytes();
    }
    return seeds;
}

}  // namespace tf::fuzz_chunk

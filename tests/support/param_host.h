#pragma once
// A test host for the host-parameter tests: it opens a patch made by
// make_param_patch through the entry point and talks to the plug-in through
// its AEffect record only, recording the automation the plug-in reports
// (from whichever thread) and its display-update requests.

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/control.h"
#include "document/tessaform_doc.h"
#include "host/tf_vst.h"
#include "parameters/patch_manager.h"
#include "tests/support/param_patches.h"
#include "tests/support/plugin_patches.h"

namespace tf::param_test {

struct AutomationReport {
    std::int32_t index = 0;
    float value = 0.0f;
    bool operator==(const AutomationReport&) const = default;
};

struct ParamHostLog {
    std::mutex mutex;
    std::vector<AutomationReport> automation;
    int update_display = 0;

    std::vector<AutomationReport> reports() {
        std::lock_guard<std::mutex> lock(mutex);
        return automation;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex);
        automation.clear();
        update_display = 0;
    }
};
inline ParamHostLog* param_host_log = nullptr;

inline intptr_t param_host(AEffect*, std::int32_t opcode, std::int32_t index, intptr_t, void*, float opt) {
    if (!param_host_log) return 0;
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterAutomate: {
            std::lock_guard<std::mutex> lock(param_host_log->mutex);
            param_host_log->automation.push_back({index, opt});
            return 1;
        }
        case audioMasterUpdateDisplay: {
            std::lock_guard<std::mutex> lock(param_host_log->mutex);
            ++param_host_log->update_display;
            return 1;
        }
        default: return 0;
    }
}

class ParamHost : public ::testing::Test {
protected:
    ParamHost() { param_host_log = &log; }
    ~ParamHost() override {
        close();
        param_host_log = nullptr;
    }

    AEffect* open(const ParamPatchSpec& layout) {
        origin = plugin_test::write_data_file_origin(folder, "params", make_param_patch(layout));
        effect = tessaform_main(param_host, origin);
        return effect;
    }
    void close() {
        if (effect) dispatch(effClose);
        effect = nullptr;
    }
    intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    // A text opcode's answer, in a buffer larger than the interface promises.
    std::string text(std::int32_t opcode, std::int32_t index) {
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        dispatch(opcode, index, 0, buffer);
        return std::string(buffer, strnlen(buffer, sizeof buffer));
    }
    std::string name(std::int32_t index) { return text(effGetParamName, index); }
    // The host index of the parameter with this name; -1 when there is none.
    std::int32_t index_of(const std::string& wanted) {
        for (std::int32_t i = 0; i < effect->numParams; ++i)
            if (name(i) == wanted) return i;
        return -1;
    }
    void resume(float rate = 44100.0f, int block = 64) {
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effSetBlockSize, 0, block);
        dispatch(effMainsChanged, 0, 1);
    }
    void idle() { dispatch(effIdle); }

    TfVst& object() { return *static_cast<TfVst*>(effect->object); }
    CContainer& main() { return *object().main(); }
    CControl& control(const std::string& title) {
        for (const auto& child : main().children)
            if (auto* c = dynamic_cast<CControl*>(child.get()); c && c->title == title) return *c;
        throw std::runtime_error("no control " + title);
    }
    PatchParameter_base& patch_param(const std::string& wanted) {
        for (const auto& [key, p] : main().patch_manager->parameters)
            if (p->name == wanted) return *p;
        throw std::runtime_error("no patch parameter " + wanted);
    }

    // Renders a block; returns output channel 0 (empty without outputs).
    std::vector<float> render(int frames) {
        const auto n = static_cast<std::size_t>(frames);
        std::vector<std::vector<float>> out(static_cast<std::size_t>(std::max(effect->numOutputs, 1)),
                                            std::vector<float>(n, 0.0f));
        std::vector<float> in(n, 0.0f);
        std::vector<float*> out_ptr, in_ptr;
        for (auto& channel : out) out_ptr.push_back(channel.data());
        for (int i = 0; i < std::max(effect->numInputs, 1); ++i) in_ptr.push_back(in.data());
        effect->processReplacing(effect, in_ptr.data(), out_ptr.data(), frames);
        return out[0];
    }

    ParamHostLog log;
    plugin_test::TempFolder folder;
    PatchOrigin origin;
    AEffect* effect = nullptr;
};

}  // namespace tf::param_test

// A host that scans a folder over and over loads and unloads each plug-in
// many times in one process: nothing may pile up, above all no thread that
// outlives its effect.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/patch_bundle.h"
#include "host/vst_host.h"
#include "host/vst_render.h"
#include "tests/support/plugin_patches.h"

namespace tf {
namespace {

std::size_t thread_count() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

TEST(PluginReload, ThousandLoadsAndUnloadsLeaveNoThreadRunning) {
    plugin_test::TempFolder folder;
    plugin_test::PatchSpec layout;
    layout.title = "Reloaded";
    layout.tone = true;
    plugin_test::write_file(folder.file("patch.dat"), plugin_test::make_patch(layout));
    const std::string plugin = folder.file("Reloaded.so");
    bundle_patch_file(folder.file("patch.dat"), TF_PLUGIN_RUNTIME_PATH, plugin);

    const std::size_t before = thread_count();
    for (int i = 0; i < 1000; ++i) {
        auto host = VstHost::load_library(plugin);
        ASSERT_EQ(host->effect_name(), "Reloaded - Tessaform");
        if (i % 100 == 0) {
            // Now and then a plug-in is also started and run before it goes.
            VstRenderSettings settings;
            settings.frames = 256;
            const PlanarAudio out = render_through_plugin(*host, settings, {});
            ASSERT_EQ(out.size(), 2u);
        }
    }
    EXPECT_EQ(thread_count(), before);
}

}  // namespace
}  // namespace tf

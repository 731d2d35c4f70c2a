#include "tools/plugin_runtime.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "document/patch_source.h"
#include "host/patch_bundle.h"
#include "host/vst_host.h"

namespace tf {

namespace {
bool exists(const std::string& path) {
    std::error_code ignored;
    return !path.empty() && std::filesystem::is_regular_file(path, ignored);
}
}  // namespace

std::string find_plugin_runtime(const std::string& given) {
    if (!given.empty()) return exists(given) ? given : std::string();
    if (const char* env = std::getenv("TESSAFORM_PLUGIN_RUNTIME"); env && exists(env)) return env;
    std::error_code ignored;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
    if (!ignored) {
        const std::string beside = (self.parent_path() / "libtessaform_plugin.so").string();
        if (exists(beside)) return beside;
    }
#ifdef TF_PLUGIN_RUNTIME_PATH
    if (exists(TF_PLUGIN_RUNTIME_PATH)) return TF_PLUGIN_RUNTIME_PATH;
#endif
    return {};
}

TemporaryBundle::TemporaryBundle(const std::string& patch_path, const std::string& runtime) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaform_bundle_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw BundleError("cannot make a temporary folder");
    folder_ = pattern;
    path_ = folder_ + "/" + library_display_name(patch_path) + ".so";
    bundle_patch_file(patch_path, runtime, path_);
}

TemporaryBundle::~TemporaryBundle() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool looks_like_library(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    return in.gcount() == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
}

std::unique_ptr<VstHost> open_plugin_or_patch(const std::string& path, std::unique_ptr<TemporaryBundle>& bundle) {
    const bool named_library = path.size() > 3 && path.compare(path.size() - 3, 3, ".so") == 0;
    if (!named_library && !looks_like_library(path)) {
        const std::string runtime = find_plugin_runtime({});
        if (runtime.empty()) throw std::runtime_error("the plug-in runtime library was not found");
        bundle = std::make_unique<TemporaryBundle>(path, runtime);
    }
    return VstHost::load_library(bundle ? bundle->path() : path);
}

}  // namespace tf

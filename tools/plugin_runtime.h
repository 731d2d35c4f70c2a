#pragma once
#include <memory>
#include <string>

namespace tf {

// The plug-in runtime library the tool bundles patches with: --runtime when
// given, else $TESSAFORM_PLUGIN_RUNTIME, else libtessaform_plugin.so beside
// the tool, else the one the tool was built with. Empty when none exists.
std::string find_plugin_runtime(const std::string& given);

// Bundles a patch into a temporary plug-in file (removed by the object).
class TemporaryBundle {
public:
    TemporaryBundle(const std::string& patch_path, const std::string& runtime);
    ~TemporaryBundle();
    TemporaryBundle(const TemporaryBundle&) = delete;
    TemporaryBundle& operator=(const TemporaryBundle&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

// True when the file starts like an ELF library (else it is taken for a patch).
bool looks_like_library(const std::string& path);

class VstHost;

// Loads a plug-in library; any other file is taken for a patch and played
// through a temporary bundle of it, which `bundle` keeps while the plug-in
// lives. Throws when the runtime is missing or the plug-in cannot be loaded.
std::unique_ptr<VstHost> open_plugin_or_patch(const std::string& path, std::unique_ptr<TemporaryBundle>& bundle);

}  // namespace tf

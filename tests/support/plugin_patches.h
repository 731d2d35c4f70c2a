#pragma once
// Patches for the plug-in tests, made with the document API: a root
// container holding one main container whose inputs pass straight through to
// its outputs, written as the archive bytes a ".dat" file or a bundle holds.

#include <cstdint>
#include <string>
#include <vector>

#include "host/example_patch.h"
#include "host/tessaform_app.h"
#include "host/vst_abi.h"

namespace tf::plugin_test {

using PatchSpec = ExamplePatchSpec;
inline std::vector<std::uint8_t> make_patch(const PatchSpec& layout) { return make_example_patch(layout); }


// A folder of its own under the test temp folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> read_file(const std::string& path);

// Writes `<folder>/<name>.dat` and returns the origin of a library named
// `<folder>/<name>.so` with no embedded patch.
PatchOrigin write_data_file_origin(const TempFolder& folder, const std::string& name,
                                   const std::vector<std::uint8_t>& patch);

// The entry point that tests hand to a host: tessaform_main with the origin
// set by set_entry_origin (one per test; not for concurrent tests).
void set_entry_origin(const PatchOrigin& origin);
AEffect* test_entry(audioMasterCallback host);

}  // namespace tf::plugin_test

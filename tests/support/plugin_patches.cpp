#include "tests/support/plugin_patches.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "document/container.h"
#include "document/cug.h"
#include "document/module_factory.h"
#include "document/plug.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "host/tf_vst.h"

namespace tf::plugin_test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tf_plugin_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temp folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> read_file(const std::string& path) {
    // One read: the runtime image is tens of megabytes in a debugging build.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

PatchOrigin write_data_file_origin(const TempFolder& folder, const std::string& name,
                                   const std::vector<std::uint8_t>& patch) {
    write_file(folder.file(name + ".dat"), patch);
    PatchOrigin origin;
    origin.library_path = folder.file(name + ".so");
    return origin;
}

namespace {
PatchOrigin entry_origin;
}  // namespace

void set_entry_origin(const PatchOrigin& origin) { entry_origin = origin; }
AEffect* test_entry(audioMasterCallback host) { return tessaform_main(host, entry_origin); }

}  // namespace tf::plugin_test

#include "host/patch_bundle.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "document/patch_scramble.h"
#include "document/patch_text.h"
#include "document/tessaform_doc.h"
#include "host/elf_patch_section.h"

namespace tf {

namespace {

std::vector<std::uint8_t> read_all(const std::string& path, const char* what) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw BundleError(std::string("cannot open the ") + what + " '" + path + "'");
    // Read in large blocks: a runtime built with debugging data is tens of
    // megabytes, far too slow to take a character at a time.
    std::vector<std::uint8_t> bytes;
    constexpr std::size_t block = 1 << 20;
    for (;;) {
        const std::size_t used = bytes.size();
        bytes.resize(used + block);
        in.read(reinterpret_cast<char*>(bytes.data() + used), static_cast<std::streamsize>(block));
        bytes.resize(used + static_cast<std::size_t>(in.gcount()));
        if (!in) break;
    }
    if (in.bad()) throw BundleError(std::string("cannot read the ") + what + " '" + path + "'");
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> bundle_patch_image(std::span<const std::uint8_t> runtime_image,
                                             std::span<const std::uint8_t> patch) {
    // A patch the plug-in could not load would only fail in the host.
    CTessaformDocVST doc;
    const CTessaformDocVST::LoadResult loaded = doc.load(patch);
    if (!loaded.ok) throw BundleError("the patch cannot be read: " + loaded.error);
    if (!doc.main_container()) throw BundleError("the patch holds no container for the plug-in to present");

    std::vector<std::uint8_t> scrambled(patch.begin(), patch.end());
    scramble(scrambled.data(), scrambled.size());
    try {
        return add_elf_section(runtime_image, patch_section_name, scrambled);
    } catch (const ElfError& e) {
        throw BundleError(std::string("the runtime library cannot take the patch: ") + e.what());
    }
}

void bundle_patch_file(const std::string& patch_path, const std::string& runtime_path, const std::string& out_path) {
    std::vector<std::uint8_t> patch = read_all(patch_path, "patch");
    // Patch text is compiled to the archive the plug-in reads.
    if (patch_path.size() > 4 && patch_path.compare(patch_path.size() - 4, 4, ".txt") == 0) {
        try {
            patch = compile_patch_text(std::string(patch.begin(), patch.end()))->write();
        } catch (const std::exception& e) {
            throw BundleError(std::string("the patch text cannot be compiled: ") + e.what());
        }
    }
    const std::vector<std::uint8_t> runtime = read_all(runtime_path, "plug-in runtime");
    const std::vector<std::uint8_t> image = bundle_patch_image(runtime, patch);

    const std::string temporary = out_path + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw BundleError("cannot write '" + out_path + "'");
        }
    }
    chmod(temporary.c_str(), 0755);
    if (std::rename(temporary.c_str(), out_path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw BundleError("cannot write '" + out_path + "'");
    }
}

}  // namespace tf

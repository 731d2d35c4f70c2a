#include "host/program_files.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "document/container.h"
#include "document/message_box.h"
#include "host/fx_file.h"

namespace tf {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool save_file(CContainer& main, std::uint32_t unique_id, const std::string& path, bool bank) {
    try {
        // The chunk is made before the file is opened, so that a chunk the
        // plug-in refuses leaves an existing file as it was.
        const std::span<const std::uint8_t> chunk = main.get_chunk(!bank);
        if (chunk.empty()) {
            show_message(FX_SAVE_DISABLED_MESSAGE);
            return false;
        }
        const std::vector<std::uint8_t> bytes =
            make_fx_file(bank ? FxFileKind::bank : FxFileKind::program, unique_id, main.program_name(-1), chunk);
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
        if (!file) {
            show_message(FX_CANNOT_OPEN_MESSAGE);
            return false;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
        if (std::fclose(file.release()) != 0 || !written) {
            show_message("Couldn't write file.\n");
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        show_message(std::string("Couldn't save the file: ") + e.what());
        return false;
    }
}

std::uint32_t be32_at(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 |
           std::uint32_t(b[at + 3]);
}

bool load_file(CContainer& main, std::uint32_t unique_id, const std::string& path, bool bank) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = read_fx_file_bytes(path);
    } catch (const std::exception&) {
        show_message(FX_CANNOT_OPEN_MESSAGE);
        return false;
    }
    // The plug-in's ID is checked first, before the rest of the file.
    if (bytes.size() >= FX_HEADER_SIZE && be32_at(bytes, 0) == FX_CHUNK_MAGIC) {
        const std::uint32_t fx_id = be32_at(bytes, 16);
        if (!fx_id_compatible(fx_id, unique_id)) {
            show_message(FX_NOT_COMPATIBLE_MESSAGE + fx_id_text(fx_id));
            return false;
        }
    }
    FxFile file;
    try {
        file = parse_fx_file(bytes);
    } catch (const FxFileError& e) {
        show_message(std::string("This file cannot be loaded: ") + e.what() + ".");
        return false;
    }
    const FxFileKind wanted = bank ? FxFileKind::bank : FxFileKind::program;
    if (file.kind != wanted) {
        const bool plain = file.kind == FxFileKind::plain_bank || file.kind == FxFileKind::plain_program;
        show_message(plain ? "This file holds plain parameter values, not this plug-in's data."
                           : (bank ? "This file holds a program, not a bank." : "This file holds a bank, not a program."));
        return false;
    }
    if (!bank) main.set_program_name(-1, file.program_name);
    main.set_chunk(file.chunk.data(), file.chunk.size(), !bank);
    // Panels and the host learn the (perhaps) new name of the current program.
    main.set_program_name(-1, main.program_name(-1));
    return true;
}

}  // namespace

bool save_bank_file(CContainer& main, std::uint32_t unique_id, const std::string& path) {
    return save_file(main, unique_id, path, true);
}
bool save_program_file(CContainer& main, std::uint32_t unique_id, const std::string& path) {
    return save_file(main, unique_id, path, false);
}
bool load_bank_file(CContainer& main, std::uint32_t unique_id, const std::string& path) {
    return load_file(main, unique_id, path, true);
}
bool load_program_file(CContainer& main, std::uint32_t unique_id, const std::string& path) {
    return load_file(main, unique_id, path, false);
}

}  // namespace tf

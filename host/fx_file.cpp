#include "host/fx_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace tf {

namespace {

void put_be32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v >> 24);
    out[at + 1] = static_cast<std::uint8_t>(v >> 16);
    out[at + 2] = static_cast<std::uint8_t>(v >> 8);
    out[at + 3] = static_cast<std::uint8_t>(v);
}

std::uint32_t get_be32(std::span<const std::uint8_t> in, std::size_t at) {
    return std::uint32_t(in[at]) << 24 | std::uint32_t(in[at + 1]) << 16 | std::uint32_t(in[at + 2]) << 8 |
           std::uint32_t(in[at + 3]);
}

constexpr std::size_t FX_BANK_SIZE_AT = FX_BANK_CHUNK_OFFSET - 4;
constexpr std::size_t FX_SIZE_AT = FX_HEADER_SIZE - 4;

}  // namespace

std::vector<std::uint8_t> make_fx_file(FxFileKind kind, std::uint32_t fx_id, const std::string& program_name,
                                       std::span<const std::uint8_t> chunk) {
    if (kind != FxFileKind::bank && kind != FxFileKind::program)
        throw FxFileError("only bank and program chunk files can be written");
    if (chunk.size() > 0x7FFFFFFFu) throw FxFileError("the chunk is too large for a bank or program file");
    const bool bank = kind == FxFileKind::bank;
    const std::size_t offset = bank ? FX_BANK_CHUNK_OFFSET : FX_PROGRAM_CHUNK_OFFSET;
    std::vector<std::uint8_t> out(offset, 0);
    const auto size = static_cast<std::uint32_t>(chunk.size());
    put_be32(out, 0, FX_CHUNK_MAGIC);
    put_be32(out, 4, 0);
    put_be32(out, 8, bank ? FX_BANK_CHUNK_MAGIC : FX_PROGRAM_CHUNK_MAGIC);
    put_be32(out, 12, 1);
    put_be32(out, 16, fx_id);
    put_be32(out, 20, 0);
    put_be32(out, 24, bank ? static_cast<std::uint32_t>(FX_BANK_PROGRAMS) : 1u);
    std::memcpy(out.data() + FX_NAME_OFFSET, program_name.data(), std::min(program_name.size(), FX_NAME_WRITTEN));
    put_be32(out, FX_SIZE_AT, size);
    if (bank) put_be32(out, FX_BANK_SIZE_AT, size);
    out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

FxFile parse_fx_file(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < FX_HEADER_SIZE)
        throw FxFileError("the file is too short for a bank or program file (" + std::to_string(bytes.size()) +
                          " bytes)");
    if (get_be32(bytes, 0) != FX_CHUNK_MAGIC) throw FxFileError("the file is not a bank or program file");
    FxFile file;
    const std::uint32_t magic = get_be32(bytes, 8);
    switch (magic) {
        case FX_BANK_CHUNK_MAGIC: file.kind = FxFileKind::bank; break;
        case FX_PROGRAM_CHUNK_MAGIC: file.kind = FxFileKind::program; break;
        case FX_PLAIN_BANK_MAGIC: file.kind = FxFileKind::plain_bank; break;
        case FX_PLAIN_PROGRAM_MAGIC: file.kind = FxFileKind::plain_program; break;
        default: throw FxFileError("the file holds an unknown kind of data ('" + fx_id_text(magic) + "')");
    }
    file.fx_id = get_be32(bytes, 16);
    file.fx_version = static_cast<std::int32_t>(get_be32(bytes, 20));
    file.count = static_cast<std::int32_t>(get_be32(bytes, 24));
    const auto* name = reinterpret_cast<const char*>(bytes.data() + FX_NAME_OFFSET);
    file.program_name.assign(name, strnlen(name, FX_NAME_FIELD));
    if (file.kind == FxFileKind::plain_bank || file.kind == FxFileKind::plain_program) return file;

    const bool bank = file.kind == FxFileKind::bank;
    const std::size_t offset = bank ? FX_BANK_CHUNK_OFFSET : FX_PROGRAM_CHUNK_OFFSET;
    if (bytes.size() < offset) throw FxFileError("the bank file ends inside its header");
    const std::uint32_t size = get_be32(bytes, bank ? FX_BANK_SIZE_AT : FX_SIZE_AT);
    if (size > 0x7FFFFFFFu) throw FxFileError("the file gives a negative chunk size");
    if (bytes.size() - offset < size)
        throw FxFileError("the file ends inside its chunk (" + std::to_string(bytes.size() - offset) + " of " +
                          std::to_string(size) + " bytes)");
    file.chunk.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
    return file;
}

bool fx_id_compatible(std::uint32_t file_id, std::uint32_t plugin_id) {
    return file_id == plugin_id || file_id == FX_ANY_PLUGIN_ID || file_id == FX_DOCUMENT_ID;
}

std::string fx_id_text(std::uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((id >> shift) & 0xFF);
    return text;
}

std::vector<std::uint8_t> read_fx_file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FxFileError("cannot open " + path);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw FxFileError("cannot read " + path);
    return bytes;
}

}  // namespace tf

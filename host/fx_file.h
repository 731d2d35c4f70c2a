#pragma once
// Bank (".fxb") and program (".fxp") files that wrap a plug-in's chunk.
// Every header integer is big-endian. Layout of the 60-byte header:
//
//    0 chunkMagic 'CcnK'      4 byteSize 0        8 fxMagic 'FBCh' / 'FPCh'
//   12 version 1             16 fxID             20 fxVersion 0
//   24 numPrograms (bank, 128) or numParams (program, 1)
//   28 program name (28 bytes, at most 20 of them written, zero padded)
//   56 chunk size
//
// A program's chunk follows at byte 60. A bank has 40 zero bytes and a
// further 60-byte block, zero but for the chunk size in its last 4 bytes,
// so its chunk starts at byte 160.
//
// Files that hold plain parameter values ('FxCk', 'FxBk') are recognised so
// that a reader can say what they are, but carry no chunk.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tf {

enum class FxFileKind { bank, program, plain_bank, plain_program };

constexpr std::uint32_t FX_CHUNK_MAGIC = 0x43636E4B;         // CcnK
constexpr std::uint32_t FX_BANK_CHUNK_MAGIC = 0x46424368;    // FBCh
constexpr std::uint32_t FX_PROGRAM_CHUNK_MAGIC = 0x46504368; // FPCh
constexpr std::uint32_t FX_PLAIN_BANK_MAGIC = 0x4678426B;    // FxBk
constexpr std::uint32_t FX_PLAIN_PROGRAM_MAGIC = 0x4678436B; // FxCk

constexpr std::size_t FX_HEADER_SIZE = 60;
constexpr std::size_t FX_PROGRAM_CHUNK_OFFSET = 60;
constexpr std::size_t FX_BANK_CHUNK_OFFSET = 160;
constexpr std::size_t FX_NAME_OFFSET = 28;
constexpr std::size_t FX_NAME_FIELD = 28;
constexpr std::size_t FX_NAME_WRITTEN = 20;
constexpr std::int32_t FX_BANK_PROGRAMS = 128;

// The fxID of files any plug-in loads: four spaces, the ID of a plug-in
// whose patch names none.
constexpr std::uint32_t FX_ANY_PLUGIN_ID = 0x20202020;
// The generic document magic "TFdt". A file whose fxID holds these four
// characters, in file order like every fxID, is taken by every Tessaform
// plug-in, as four spaces are; the same bytes in the reverse order are an
// ID like any other.
constexpr std::uint32_t FX_DOCUMENT_ID = 0x54466474;

// A header or a file that cannot be read; what() says why.
class FxFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FxFile {
    FxFileKind kind = FxFileKind::program;
    std::uint32_t fx_id = 0;
    std::int32_t fx_version = 0;
    std::int32_t count = 0;    // numPrograms of a bank, numParams of a program
    std::string program_name;  // of a program file; up to the first zero
    std::vector<std::uint8_t> chunk;  // empty for the plain kinds
};

// The file bytes of a chunk: kind bank or program only.
std::vector<std::uint8_t> make_fx_file(FxFileKind kind, std::uint32_t fx_id, const std::string& program_name,
                                       std::span<const std::uint8_t> chunk);

// Reads file bytes. Throws FxFileError for a file shorter than its header or
// its chunk, without the 'CcnK' magic, with an unknown fxMagic or a negative
// chunk size. Bytes after the chunk are ignored.
FxFile parse_fx_file(std::span<const std::uint8_t> bytes);

// True when a plug-in with this unique ID loads files with this fxID: its
// own, four spaces, or "TFdt".
bool fx_id_compatible(std::uint32_t file_id, std::uint32_t plugin_id);

// An ID as its four characters, most significant byte first.
std::string fx_id_text(std::uint32_t id);

// The file's bytes as they are; throws FxFileError (with the path) when it
// cannot be read.
std::vector<std::uint8_t> read_fx_file_bytes(const std::string& path);

}  // namespace tf

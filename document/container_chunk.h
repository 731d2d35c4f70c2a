#pragma once
// Program and bank chunks: the state a host stores for the plug-in. A chunk
// lists the container's generic parameters (its panel controls, in host
// order) and its patch parameters, then the names of the programs it holds,
// one text value per control and program, and one block of values per patch
// parameter. All integers are 32-bit little-endian, texts are archive texts.
//
//   tag 852171, G, P, G ids, P keys, N, N names, G x N values, P blocks
//
// Four tags are read: 852154 (controls taken in list order), 852170 (controls
// matched by id, no patch parameters), 852171 (what is written) and 852218
// (controls matched by name). Editor thread only.
//
// Ids: a control is named by a 32-bit hash of its place (the titles of the
// containers it lies in, its title, and its rank among controls of the same
// place and title) and a patch parameter by its key. Both come from the
// patch itself, so a chunk written by one instance of a patch loads into any
// other instance of it, in this process or the next (message handles differ
// between instances), and a control that a later version of the patch adds,
// moves or removes leaves the others matched.

#include <cstdint>
#include <string>
#include <vector>

namespace tf {

class CArchive;
class CContainer;
class generic_parameter;

constexpr std::int32_t CHUNK_TAG_IN_ORDER = 852154;           // 0x000D00BA
constexpr std::int32_t CHUNK_TAG_BY_ID = 852170;              // 0x000D00CA
constexpr std::int32_t CHUNK_TAG_WITH_PATCH_PARAMS = 852171;  // 0x000D00CB
constexpr std::int32_t CHUNK_TAG_BY_NAME = 852218;            // 0x000D00FA

// Shown once per chunk that names a control the patch does not have.
inline constexpr const char* CHUNK_MISSING_PARAMETERS_MESSAGE = "Some parameters could not be loaded";

// The container's generic parameters in host order with their chunk ids.
struct ChunkParameter {
    generic_parameter* parameter = nullptr;
    std::int32_t id = 0;
};
std::vector<ChunkParameter> chunk_parameter_list(const CContainer& container);

// A control's value for a program as the chunk stores it: the panel's text,
// except that doubles keep every digit they need to read back unchanged.
class CControl;
std::string chunk_value_text(const CControl& control, int program);

// Writes the chunk of the bank (128 programs) or of the current program.
void write_chunk(CContainer& container, CArchive& ar, bool one_program);

// Reads a chunk into the container. Archive errors (a chunk that ends early)
// leave the archive's exception to the caller; values read before stay.
// Reading stops without error at an unknown tag or at a patch parameter
// key the container does not have (the width of its values is unknown, so
// nothing after it can be read).
void read_chunk(CContainer& container, CArchive& ar, bool one_program);

}  // namespace tf

#pragma once
// The panel's program menu commands "Save Bank", "Save Inst", "Load Bank" and
// "Load Inst", given the file the user chose: they write and read bank and
// program files (host/fx_file.h) around the main container's chunks. Errors
// are shown as messages; each answers whether it did its work. Editor thread.
//
// A file is loaded when its fxID is the plug-in's unique ID, four spaces or
// "TFdt" (fx_id_compatible).

#include <cstdint>
#include <string>

namespace tf {

class CContainer;

inline constexpr const char* FX_CANNOT_OPEN_MESSAGE = "Couldn't open file.\n";
inline constexpr const char* FX_SAVE_DISABLED_MESSAGE = "Save Disabled by plugin";
inline constexpr const char* FX_NOT_COMPATIBLE_MESSAGE = "This file not compatible - ";  // then the fxID

// Command ids of the program menu.
constexpr int CMD_LOAD_BANK = 34909;
constexpr int CMD_SAVE_BANK = 34910;
constexpr int CMD_LOAD_INST = 34911;
constexpr int CMD_SAVE_INST = 34912;

bool save_bank_file(CContainer& main, std::uint32_t unique_id, const std::string& path);
bool save_program_file(CContainer& main, std::uint32_t unique_id, const std::string& path);
bool load_bank_file(CContainer& main, std::uint32_t unique_id, const std::string& path);
bool load_program_file(CContainer& main, std::uint32_t unique_id, const std::string& path);

}  // namespace tf

#pragma once
// Whole-file reading and writing for the tool's commands; errors are thrown
// as std::runtime_error with the path and the system's reason.

#include <cstdint>
#include <string>
#include <vector>

namespace tf {

std::vector<std::uint8_t> read_file_bytes(const std::string& path);
std::string read_file_text(const std::string& path);
void write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void write_file_text(const std::string& path, const std::string& text);

}  // namespace tf

#include "tools/file_bytes.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tf {

namespace {

[[noreturn]] void fail(const char* what, const std::string& path) {
    throw std::runtime_error(std::string(what) + " " + path + ": " + std::strerror(errno));
}

}  // namespace

std::vector<std::uint8_t> read_file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot open", path);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) fail("cannot read", path);
    return bytes;
}

std::string read_file_text(const std::string& path) {
    auto bytes = read_file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) fail("cannot create", path);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) fail("cannot write", path);
}

void write_file_text(const std::string& path, const std::string& text) {
    write_file_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace tf

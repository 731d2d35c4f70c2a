#pragma once
// The container's patch manager, as far as the document needs it today:
// program names and the current program. Its archive record and its
// parameters come with the parameter subsystem; until then a document writes
// a null reference in its place.

#include <map>
#include <string>

namespace tf {

class CContainer;

constexpr int PROGRAM_SLOTS = 128;

class CPatchManager {
public:
    int current_program = 0;
    // Names that were set; a program without an entry uses its default name.
    std::map<int, std::string> program_names;
    CContainer* container = nullptr;  // the container that owns the manager

    void set_current_program(int program) { current_program = program; }
    // -1 means the current program.
    void set_program_name(int program, std::string name) {
        program_names[program < 0 ? current_program : program] = std::move(name);
    }
    // The stored name, or empty when none was set (-1 means the current program).
    std::string program_name(int program) const {
        auto it = program_names.find(program < 0 ? current_program : program);
        return it == program_names.end() ? std::string() : it->second;
    }
};

}  // namespace tf

#include "document/container_parameter.h"

#include <algorithm>
#include <cstdlib>

#include "document/container.h"
#include "modules/pin_types.h"

namespace tf {

namespace {
std::vector<std::string> skin_names(const CContainer& c) {
    auto& source = parameter_cug_xtra::skin_names_source();
    return source ? source(c) : std::vector<std::string>{c.skin_name};
}
std::string join(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out += ',';
        out += names[i];
    }
    return out;
}
}  // namespace

std::function<std::vector<std::string>(const CContainer&)>& parameter_cug_xtra::skin_names_source() {
    static std::function<std::vector<std::string>(const CContainer&)> source;
    return source;
}

std::string parameter_cug_xtra::name() const {
    switch (id_) {
        case SKIN: return "Skin";
        case PROGRAM: return "Program";
        case PROGRAM_NAME: return "Program Name";
        default: return "error";
    }
}

int parameter_cug_xtra::data_type() const { return id_ == PROGRAM_NAME ? PT_TEXT : PT_ENUM; }

std::string parameter_cug_xtra::value_text() const {
    switch (id_) {
        case SKIN: {
            const auto names = skin_names(container_);
            const auto it = std::find(names.begin(), names.end(), container_.skin_name);
            return std::to_string(it == names.end() ? 0 : it - names.begin());
        }
        case PROGRAM: return std::to_string(container_.current_program());
        case PROGRAM_NAME: return container_.program_name(-1);
        default: return "error";
    }
}

void parameter_cug_xtra::set_value_text(const std::string& text) {
    switch (id_) {
        case SKIN: {
            const auto names = skin_names(container_);
            const long i = std::strtol(text.c_str(), nullptr, 10);
            if (i >= 0 && static_cast<std::size_t>(i) < names.size()) {
                container_.skin_name = names[static_cast<std::size_t>(i)];
                notify(NOTE_VALUE_CHANGED, 0);
            }
            break;
        }
        case PROGRAM: container_.set_program(static_cast<int>(std::strtol(text.c_str(), nullptr, 10))); break;
        case PROGRAM_NAME: container_.set_program_name(-1, text); break;
        default: break;
    }
}

std::string parameter_cug_xtra::enum_list() const {
    switch (id_) {
        case SKIN: return join(skin_names(container_));
        case PROGRAM: return "range 0,127";
        case PROGRAM_NAME: {
            std::vector<std::string> names;
            for (int i = 0; i < PROGRAM_SLOTS; ++i) names.push_back(container_.program_name(i));
            return join(names);
        }
        default: return {};
    }
}

}  // namespace tf

#pragma once
// The container's built-in parameters: "Skin" (id 0), "Program" (id 1) and
// "Program Name" (id 2). Their normalised value is 0; they are for the panel
// and for watchers such as the effect object, not for host automation.

#include <functional>
#include <string>
#include <vector>

#include "document/generic_parameter.h"

namespace tf {

class CContainer;

class parameter_cug_xtra : public generic_parameter {
public:
    enum Id { SKIN = 0, PROGRAM = 1, PROGRAM_NAME = 2 };
    parameter_cug_xtra(CContainer& container, int id) : container_(container), id_(id) {}

    std::string name() const override;
    int data_type() const override;
    std::string value_text() const override;
    void set_value_text(const std::string& text) override;
    std::string enum_list() const override;
    float get_normalised() const override { return 0.0f; }
    void set_normalised(float) override {}
    int parameter_id() const { return id_; }

    // The names of the skins a container can show; until skins are loaded
    // the container's own skin name is the only one.
    static std::function<std::vector<std::string>(const CContainer&)>& skin_names_source();

private:
    CContainer& container_;
    int id_;
};

}  // namespace tf

#include "modules/interface_object.h"

#include "document/message_box.h"

namespace tf {

InterfaceObject::InterfaceObject(void* value_variable_, VariableKind kind, std::string name_, int direction_,
                                 int data_type_, std::string default_text_, std::string range_, int flags_,
                                 std::string help_, void* stream_variable_)
    : stream_variable(stream_variable_),
      direction(direction_),
      help(std::move(help_)),
      name(std::move(name_)),
      default_text(std::move(default_text_)),
      range(std::move(range_)),
      flags(flags_),
      data_type(data_type_),
      value_variable(value_variable_),
      variable_kind(kind) {
    // Every audio input is either a voice input or explicitly not one.
    if (direction == DR_IN && data_type == PT_AUDIO && (flags & (PF_VOICE_INPUT | PF_NON_VOICE_INPUT)) == 0)
        flags |= PF_VOICE_INPUT;
}

void InterfaceObject::checkpointer(const char* type_name) {
    show_message(std::string("ERROR InterfaceObject::checkpointer Unknown plug type!! ") + type_name);
}

}  // namespace tf

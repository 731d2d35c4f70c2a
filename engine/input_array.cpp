#include "engine/input_array.h"

#include "engine/uplug.h"
#include "modules/pin_types.h"

namespace tf {

void BaseInputArray::SetSourceState(const UConnection* connection, int state) {
    const void* id = IdentityOf(connection->from);
    for (int i = 0; i < count(); ++i)
        if (source(i) == id) states_[static_cast<std::size_t>(i)] = state;
}

const void* InputArray_Float::IdentityOf(const UPlug* from) const { return from->GetSamplePtr(); }

void InputArray_Float::AddSource(UPlug* from) {
    entries.push_back(adder_input_info{from->GetSamplePtr(), 0.0f});
    states_.push_back(ST_STOP);
}

void InputArray_Float::RemoveSource(const UConnection* connection) {
    const void* id = IdentityOf(connection->from);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].source_block == id) {
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
            states_.erase(states_.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

}  // namespace tf

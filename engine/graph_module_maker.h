#pragma once
// Making the engine module of one document module, and giving its pins the
// values typed in the document. Both walk the document pins the same way, so
// a document pin and the engine pin made from it are found through PlugMap.
// Build time only.

#include <memory>
#include <unordered_map>

namespace tf {

class CPlug2;
class CUG;
class TfAudioMaster;
class UPlug;
class ug_base;

// Which engine pin each document pin became (pins that got none are absent).
class PlugMap {
public:
    void Add(const CPlug2* doc_pin, UPlug* pin) { map_[doc_pin] = pin; }
    UPlug* Find(const CPlug2* doc_pin) const {
        auto it = map_.find(doc_pin);
        return it == map_.end() ? nullptr : it->second;
    }

private:
    std::unordered_map<const CPlug2*, UPlug*> map_;
};

// The engine module of `module`, or null when it is disabled (itself or
// through a container), its type is unknown or its type makes no engine
// unit. Pins follow the document's pins; the module gets the master, its
// document twin, the twin's handle in the master's handle map, and its pin
// storage. `module.dsp_unit` records it. Throws std::out_of_range when a pin
// names a declaration its registered type does not have.
std::unique_ptr<ug_base> MakeDspModule(CUG& module, TfAudioMaster& master, PlugMap& plugs);

// Sets the document values on the pins that need one: inputs and settings
// without a wire (a wire counts when both its ends have engine pins), inputs
// and settings that are patch-stored features, and outputs that take their
// peer's value. Container edge pins never get one. The module must already
// sit in its container (unwired inputs get a hidden source there).
void ApplyDocumentValues(const CUG& module, const PlugMap& plugs);

// Whether the wire-carrying document pin has a wire that becomes a connection.
bool HasLiveWire(const CPlug2& pin, const PlugMap& plugs);

}  // namespace tf

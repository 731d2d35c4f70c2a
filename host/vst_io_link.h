#pragma once
// What the host audio and MIDI modules need from the effect that owns the
// engine: a place to register while they are open, and the effect's output
// mode. The effect implements it; the modules reach it through the link the
// application gives them after the graph is built.

namespace tf {

class ug_vst_in;
class ug_vst_out;

class VstIoLink {
public:
    virtual ~VstIoLink() = default;
    // Build thread (Open and Close): the module registers, or unregisters with null.
    virtual void attach_input(ug_vst_in* module) = 0;
    virtual void attach_output(ug_vst_out* module) = 0;
    // Audio thread: true when the host's output buffers are overwritten,
    // false when the patch output is added to them.
    virtual bool replacing_output() const = 0;
};

}  // namespace tf

#pragma once
// One parameter as the host sees it: a name, texts and a value between 0 and
// 1 that the host reads, sets and automates. The effect owns one object per
// host parameter index. The operations are declared in the order the effect
// uses them.
//
// Threads: texts, set_value, attach and idle run on the thread that created
// the plug-in (the editor thread); current_value on any thread;
// set_value_from_thread on a host thread other than that one (usually its
// audio thread); apply_pending on the audio thread, at the start of a block,
// when the audio master asks.

#include <cstdint>
#include <string>

namespace tf {

class TfAudioMaster;
class TfVst;

class vst_parameter {
public:
    vst_parameter() = default;
    virtual ~vst_parameter() = default;
    vst_parameter(const vst_parameter&) = delete;
    vst_parameter& operator=(const vst_parameter&) = delete;

    virtual std::string name_text() const = 0;
    virtual std::string display_text() const = 0;
    virtual std::string label_text() const = 0;
    // The last normalised value seen or set. Any thread, lock-free.
    virtual float current_value() const = 0;
    // The host set x on the editor thread: it takes the editor's road.
    virtual void set_value(float x) = 0;
    // The host set x on another thread while the engine exists: the value is
    // held and reaches the engine at the start of the next block.
    virtual void set_value_from_thread(float x, TfAudioMaster& master) = 0;
    virtual bool can_be_automated() const = 0;
    virtual std::uint8_t is_output() const = 0;
    // Audio thread: a held value goes to the engine.
    virtual void apply_pending() = 0;
    // Once, after the host list is sorted: the index this parameter reports under.
    virtual void attach(TfVst& effect, std::int32_t index) = 0;

    // Editor thread, from the idle pass: the document catches up with values
    // the engine took from the host.
    virtual void idle() {}
    // Editor thread, once the engine has stopped: what the engine took from
    // the host, or was still to take, goes into the document.
    virtual void engine_stopped() {}
};

}  // namespace tf

#pragma once
// The application object the effect embeds: it loads the patch document,
// adds and wires the host audio and MIDI modules, starts and stops the
// engine, and carries the editor thread's services (the idle pass, the
// refresh queue, messages waiting to be shown).
//
// Threads: everything here runs on the editor thread (the thread that loaded
// the plug-in) unless an operation says otherwise. The audio thread reaches
// the application only through the audio master.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "document/patch_source.h"
#include "document/ui_msg_target.h"

namespace tf {

class ArchiveObject;
class CContainer;
class CPatchManager;
class dsp_patch_manager;
class CTessaformDocVST;
class TfAudioMaster;
class TfVst;
class ug_container;

// Where the plug-in's patch comes from: the library's full path (for the
// ".dat" fallback, messages and the extraction folder) and the finder of the
// patch embedded in the library.
struct PatchOrigin {
    std::string library_path;
    EmbeddedPatchLookup embedded;
};

// An object that wants its refresh operation run on the editor thread.
class Refreshable {
public:
    virtual ~Refreshable() = default;
    virtual void refresh() = 0;

private:
    friend class CTessaformAppVST;
    bool queued_ = false;  // guarded by the application's refresh mutex
};

// An object that wants idle calls; answering false ends them.
class IdleClient {
public:
    virtual ~IdleClient() = default;
    virtual bool idle() = 0;
};

class CTessaformAppVST {
public:
    // Rounds of request_stop's wait, 10 ms each.
    static constexpr int stop_wait_rounds = 300;

    CTessaformAppVST();
    ~CTessaformAppVST();
    CTessaformAppVST(const CTessaformAppVST&) = delete;
    CTessaformAppVST& operator=(const CTessaformAppVST&) = delete;

    TfVst* effect = nullptr;  // set by the effect's constructor

    // Reads the patch into a new document. False (after the message the
    // failure calls for) when it cannot be loaded.
    bool load_patch(const PatchOrigin& origin);
    CTessaformDocVST* document() const { return document_.get(); }
    // Deletes the document (the effect does it before its host parameters go).
    void close_document();
    // Adds "VST Output" and "VST Input" to the root container and wires them
    // to the main container's audio and MIDI pins.
    void create_vst_io();

    void set_engine_sample_rate(float rate) { engine_sample_rate_ = rate; }
    float engine_sample_rate() const { return engine_sample_rate_; }

    // Engine life. Called only while the effect renders nothing.
    void start_engine(CContainer* root);
    void stop_engine();
    bool build_engine();
    void teardown_engine();
    // Stops an engine whose audio thread may still be running; see the body.
    void request_stop();
    bool engine_running() const;
    TfAudioMaster* audio_master() const { return master_.get(); }
    // The engine-to-editor queue: the engine writes it on the audio thread,
    // the idle pass hands its messages to their editor-side targets.
    engine_to_ui_que& ui_queue() { return ui_queue_; }
    ug_container* dsp_root() const { return graph_.get(); }

    // Audio thread: the process side saw the stop request and renders no more.
    void acknowledge_stop() { stop_acknowledged_.store(true); }

    // Editor thread.
    void idle_pass();
    void show_pending_messages();
    void add_pending_message(std::string text) { pending_messages_.push_back(std::move(text)); }
    const std::vector<std::string>& pending_messages() const { return pending_messages_; }
    void add_idle_client(IdleClient* client);
    void remove_idle_client(IdleClient* client);
    // Any thread.
    void queue_refresh(Refreshable* object);
    void remove_refresh(Refreshable* object);
    // Audio thread (through the master): host parameters catch up.
    void apply_host_params();

    std::thread::id creating_thread() const { return creating_thread_; }
    const std::string& library_path() const { return library_path_; }
    const std::vector<std::unique_ptr<ArchiveObject>>& embedded_files() const { return embedded_files_; }

private:
    void forget_dsp_units();
    // The engine twins of the patch managers, made once the engine modules
    // exist and destroyed before the master.
    void start_patch_managers();
    void stop_patch_managers();

    std::unique_ptr<CTessaformDocVST> document_;
    std::string library_path_;
    std::thread::id creating_thread_;
    float engine_sample_rate_ = 44100.0f;

    std::mutex refresh_mutex_;
    std::vector<Refreshable*> refresh_queue_;
    std::vector<IdleClient*> idle_clients_;
    std::vector<std::string> pending_messages_;
    std::vector<std::unique_ptr<ArchiveObject>> embedded_files_;
    // Messages from the engine to editor-side objects, read by the idle pass.
    engine_to_ui_que ui_queue_;

    CContainer* root_ = nullptr;
    // The graph is declared after the master so that it goes first.
    std::unique_ptr<TfAudioMaster> master_;
    std::unique_ptr<ug_container> graph_;
    std::vector<CPatchManager*> engine_patch_managers_;
    std::vector<std::unique_ptr<dsp_patch_manager>> dsp_patch_managers_;
    std::atomic<bool> stop_acknowledged_{false};
};

}  // namespace tf

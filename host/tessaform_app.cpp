#include "host/tessaform_app.h"

#include <algorithm>
#include <chrono>

#include "document/container.h"
#include "document/message_box.h"
#include "document/module_factory.h"
#include "document/module_registry.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "engine/audio_master.h"
#include "engine/graph_builder.h"
#include "engine/ug_container.h"
#include "host/tf_vst.h"
#include "host/ug_vst_in.h"
#include "host/ug_vst_out.h"
#include "parameters/dsp_patch_manager.h"
#include "parameters/patch_manager.h"

namespace tf {

namespace {

// The engine twins of the host modules live in the root container; give them
// the effect they report to.
void link_host_modules(ug_container& container, VstIoLink* link) {
    for (const auto& module : container.owned_modules()) {
        if (auto* in = dynamic_cast<ug_vst_in*>(module.get())) in->SetLink(link);
        else if (auto* out = dynamic_cast<ug_vst_out*>(module.get())) out->SetLink(link);
        else if (auto* inner = dynamic_cast<ug_container*>(module.get())) link_host_modules(*inner, link);
    }
}

void clear_dsp_units(CContainer& container) {
    container.dsp_unit = nullptr;
    for (const auto& child : container.children) {
        if (auto* inner = dynamic_cast<CContainer*>(child.get())) clear_dsp_units(*inner);
        else if (auto* module = dynamic_cast<CUG*>(child.get())) module->dsp_unit = nullptr;
    }
}

void collect_patch_managers(CContainer& container, std::vector<CPatchManager*>& out) {
    if (container.patch_manager) out.push_back(container.patch_manager.get());
    for (const auto& child : container.children)
        if (auto* inner = dynamic_cast<CContainer*>(child.get())) collect_patch_managers(*inner, out);
}

bool is_host_load_message(const std::string& text) {
    // The reader already showed the "newer version" message itself.
    return text.rfind("Load Cancelled.", 0) == 0;
}

}  // namespace

CTessaformAppVST::CTessaformAppVST() = default;

void CTessaformAppVST::close_document() {
    stop_engine();
    document_.reset();
}

CTessaformAppVST::~CTessaformAppVST() {
    stop_engine();
    teardown_engine();
    document_.reset();
}

bool CTessaformAppVST::load_patch(const PatchOrigin& origin) {
    creating_thread_ = std::this_thread::get_id();
    library_path_ = origin.library_path;
    if (library_path_.empty()) return false;  // the platform could not name the library
    module_registry::instance().set_library_path(library_path_);

    document_.reset();
    std::optional<std::vector<std::uint8_t>> bytes = load_patch_stream(library_path_, origin.embedded);
    if (!bytes) return false;
    auto document = std::make_unique<CTessaformDocVST>();
    const CTessaformDocVST::LoadResult result = document->load(*bytes);
    if (!result.ok) {
        if (!is_host_load_message(result.error))
            show_message(library_display_name(library_path_) + ": the patch could not be read. (" + result.error + ")",
                         MessageIcon::error);
        return false;
    }
    if (!document->root()) {
        show_message(library_display_name(library_path_) + ": the patch holds no modules.", MessageIcon::error);
        return false;
    }
    for (auto& file : document->embedded_files) embedded_files_.push_back(std::move(file));
    document->embedded_files.clear();
    document_ = std::move(document);
    return true;
}

void CTessaformAppVST::create_vst_io() {
    if (!document_ || !document_->root()) return;
    CContainer& root = *document_->root();
    CContainer* main = document_->main_container();
    if (!main) return;

    auto add = [&root](const char* type) -> CUG* {
        std::unique_ptr<CDocOb> object = create_document_object(type);
        auto* module = dynamic_cast<CUG*>(object.get());
        if (!module) return nullptr;
        root.add_object(std::move(object));
        return module;
    };
    CUG* output = add("VST Output");
    CUG* input = add("VST Input");
    if (!output || !input) return;

    // Wiring an audio pin to the spare "Audio" pin grows a new spare, so the
    // n-th audio pin of the main container meets the n-th "Audio" pin.
    const std::size_t pin_count = main->pins.size();
    for (std::size_t i = 0; i < pin_count && i < main->pins.size(); ++i) {
        CPlug2& pin = *main->pins[i];
        if (is_spare(pin)) continue;
        const bool is_input = pin.direction() == DR_IN;
        CPlug2* target = nullptr;
        if (pin.data_type() == PT_AUDIO) {
            CUG& module = is_input ? *input : *output;
            if (!module.pins.empty()) target = module.pins.back().get();
        } else if (pin.data_type() == PT_MIDI) {
            target = is_input ? find_pin_by_name(*input, "MIDI Out") : find_pin_by_name(*output, "MIDI In");
        }
        if (target) connect(pin, *target);
    }
}

// --- Engine ---------------------------------------------------------------

bool CTessaformAppVST::engine_running() const {
    return master_ && master_->engine_running.load(std::memory_order_acquire);
}

void CTessaformAppVST::start_engine(CContainer* root) {
    if (engine_running()) stop_engine();
    root_ = root;
    if (!build_engine()) return;
    stop_acknowledged_.store(false);
    master_->Start(graph_.get());
    // The patch parameters send their values to their twins, which take them
    // at once: the engine is not running yet.
    start_patch_managers();
    master_->SetEngineRunning(true);
}

bool CTessaformAppVST::build_engine() {
    if (!root_ || master_) return false;
    master_ = std::make_unique<TfAudioMaster>();
    // The engine block derives from the host's.
    master_->SetBlockSize(effect ? effect->getBlockSize() : 1024);
    master_->SetSampleRate(engine_sample_rate_);
    if (effect) master_->SetHostTimeSource(&TfVst::host_time_source, effect);
    master_->SetBlockCallback([this] { apply_host_params(); });
    // What an earlier engine left unread was delivered when it stopped.
    ui_queue_.discard_readable();
    master_->SetUiQueue(&ui_queue_);
    bool built = false;
    try {
        graph_ = BuildGraph(*root_, *master_);
        built = graph_ != nullptr;
        if (!built) add_pending_message("Can't build the sound engine.");
    } catch (const TfException& e) {
        // Described while the exception still holds the graph it names; that
        // graph goes with the exception, before the master does below.
        add_pending_message(DescribeBuildError(e));
    } catch (const std::exception& e) {
        add_pending_message(std::string("Can't build the sound engine: ") + e.what());
    }
    if (!built) {
        graph_.reset();
        teardown_engine();
        return false;
    }
    if (master_->StopRequested()) {
        // A module refused the graph; its message waits in the master's queue.
        teardown_engine();
        return false;
    }
    link_host_modules(*graph_, effect);
    return true;
}

void CTessaformAppVST::stop_engine() {
    if (engine_running() && graph_) graph_->Close();
    teardown_engine();
}

void CTessaformAppVST::forget_dsp_units() {
    if (document_ && document_->root()) clear_dsp_units(*document_->root());
}

void CTessaformAppVST::teardown_engine() {
    if (!master_) return;
    {
        std::lock_guard<std::mutex> lock(refresh_mutex_);
        for (Refreshable* object : refresh_queue_) object->queued_ = false;
        refresh_queue_.clear();
    }
    if (graph_ && (graph_->flags & UGF_OPEN)) graph_->Close();
    if (graph_ && document_ && document_->root()) TearDownGraph(*document_->root(), graph_);
    graph_.reset();  // the whole graph; its modules still need the master
    forget_dsp_units();
    stop_patch_managers();
    // Texts the engine queued before it went.
    master_->DrainErrors([this](const std::string& text) { add_pending_message(text); });
    master_.reset();
    if (effect) effect->engine_deleted();
    show_pending_messages();
}

void CTessaformAppVST::request_stop() {
    if (!master_) return;
    master_->shutting_down = true;
    master_->RequestStop();
    // The engine has stopped once the process side has seen the request, or
    // when no process call can reach it (the effect is not rendering).
    auto stopped = [this] { return stop_acknowledged_.load() || !effect || !effect->is_rendering(); };
    for (int round = 0; round < stop_wait_rounds && !stopped(); ++round) {
        idle_pass();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!stopped()) {
        show_message("Sound Engine not responding. Please Save and Exit", MessageIcon::warning);
        return;
    }
    if (effect) effect->halt_rendering();
    teardown_engine();
}

// --- Editor-thread services -------------------------------------------------

void CTessaformAppVST::idle_pass() {
    std::vector<Refreshable*> due;
    {
        std::lock_guard<std::mutex> lock(refresh_mutex_);
        due.swap(refresh_queue_);
        for (Refreshable* object : due) object->queued_ = false;
    }
    for (Refreshable* object : due) object->refresh();

    // Values the engine sent (controllers, host values it took) reach the document.
    deliver_ui_messages(ui_queue_);
    if (effect) effect->idle_host_params();

    // Errors met on the audio thread are shown here, on the editor thread.
    if (master_) master_->DrainErrors([](const std::string& text) { show_message(text, MessageIcon::warning); });

    for (std::size_t i = 0; i < idle_clients_.size();) {
        if (idle_clients_[i]->idle()) ++i;
        else idle_clients_.erase(idle_clients_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void CTessaformAppVST::show_pending_messages() {
    while (!pending_messages_.empty()) {
        const std::string text = std::move(pending_messages_.front());
        pending_messages_.erase(pending_messages_.begin());
        show_message(text, MessageIcon::warning);
    }
    if (master_ && !engine_running()) teardown_engine();
}

void CTessaformAppVST::add_idle_client(IdleClient* client) {
    if (!client) return;
    if (std::this_thread::get_id() == creating_thread_ && !client->idle()) return;
    if (std::find(idle_clients_.begin(), idle_clients_.end(), client) == idle_clients_.end())
        idle_clients_.push_back(client);
}

void CTessaformAppVST::remove_idle_client(IdleClient* client) {
    idle_clients_.erase(std::remove(idle_clients_.begin(), idle_clients_.end(), client), idle_clients_.end());
}

void CTessaformAppVST::queue_refresh(Refreshable* object) {
    if (!object) return;
    std::lock_guard<std::mutex> lock(refresh_mutex_);
    if (object->queued_) return;
    object->queued_ = true;
    refresh_queue_.push_back(object);
}

void CTessaformAppVST::remove_refresh(Refreshable* object) {
    std::lock_guard<std::mutex> lock(refresh_mutex_);
    refresh_queue_.erase(std::remove(refresh_queue_.begin(), refresh_queue_.end(), object), refresh_queue_.end());
    if (object) object->queued_ = false;
}

void CTessaformAppVST::start_patch_managers() {
    if (!root_ || !master_) return;
    collect_patch_managers(*root_, engine_patch_managers_);
    for (CPatchManager* manager : engine_patch_managers_)
        dsp_patch_managers_.push_back(start_engine_side(*manager, *master_));
}

void CTessaformAppVST::stop_patch_managers() {
    for (CPatchManager* manager : engine_patch_managers_) stop_engine_side(*manager);
    engine_patch_managers_.clear();
    while (!dsp_patch_managers_.empty()) dsp_patch_managers_.pop_back();
    // What the engine sent before it stopped still belongs in the document.
    deliver_ui_messages(ui_queue_);
}

void CTessaformAppVST::apply_host_params() {
    if (effect) effect->apply_pending_host_params();
}

}  // namespace tf

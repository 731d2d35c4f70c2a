#include "document/ctl_patch_sel.h"

#include "document/container.h"
#include "document/module_registry.h"
#include "document/msg_stream.h"

namespace tf {

const ArchiveClass& Ctl_PatchSel::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("Ctl_PatchSel");
    return cls;
}

std::function<void(Ctl_PatchSel&, int)>& Ctl_PatchSel::engine_sender() {
    static std::function<void(Ctl_PatchSel&, int)> sender;
    return sender;
}

void Ctl_PatchSel::on_program_change(int program) {
    if (!dsp_unit) return;
    if (engine_program.load(std::memory_order_acquire) == program) return;  // it came from there
    engine_program.store(program, std::memory_order_release);
    if (auto& send = engine_sender()) send(*this, code_select);
}

void Ctl_PatchSel::on_engine_open() {
    const CContainer* c = parent();
    engine_program.store(c ? c->current_program() : 0, std::memory_order_release);
}

void Ctl_PatchSel::refresh() {
    const std::int32_t program = engine_program.load(std::memory_order_acquire);
    CContainer* c = parent();
    if (!c || program < 0 || program >= 128 || program == c->current_program()) return;
    c->set_program(program);
}

void Ctl_PatchSel::OnMessage(std::int32_t tag, my_input_stream& stream) {
    if (tag != tag_program) return;
    // The payload is read even when the value is stale: the next message
    // starts after it.
    (void)stream.read_int();
    refresh();
}

namespace {
[[maybe_unused]] const bool bound = [] {
    const bool classes = bind_document_classes<Ctl_PatchSel>({"Ctl_PatchSel"});
    // A new "Patch Select" made in the document is this class too.
    const bool type = module_registry::instance().bind_document_factory(
        "Patch Select", [](const Module_Info&) -> std::unique_ptr<CDocOb> { return std::make_unique<Ctl_PatchSel>(); });
    return classes && type;
}();
}  // namespace

}  // namespace tf

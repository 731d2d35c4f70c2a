#include "document/tessaform_doc.h"

#include <cstdio>
#include <new>

#include "document/container.h"
#include "document/line.h"
#include "document/message_box.h"
#include "document/plug.h"

namespace tf {

namespace {

// Thrown (and caught in load) when the archive is newer than this reader.
struct TooNewArchive {
    std::string message;
};

// Archives before wires were stored with their pins: each wire is attached
// to the pins it joins.
void attach_unlisted_wires(CContainer& container) {
    for (const auto& child : container.children) {
        if (auto* wire = dynamic_cast<CLine2*>(child.get())) {
            for (CPlug2* end : {wire->from, wire->to}) {
                if (!end) continue;
                bool listed = false;
                for (const CLine2* w : end->connections) listed = listed || w == wire;
                if (!listed) end->connections.push_back(wire);
            }
        } else if (auto* inner = dynamic_cast<CContainer*>(child.get())) {
            attach_unlisted_wires(*inner);
        }
    }
}

}  // namespace

CTessaformDocVST::CTessaformDocVST() = default;

CTessaformDocVST::~CTessaformDocVST() { clear(); }

void CTessaformDocVST::clear() {
    root_.reset();
    embedded_files.clear();
    leftovers_.clear();
}

void CTessaformDocVST::set_root(std::unique_ptr<CContainer> root) {
    root_ = std::move(root);
    if (root_) root_->document = this;
}

CContainer* CTessaformDocVST::main_container() const {
    if (!root_) return nullptr;
    for (const auto& child : root_->children)
        if (auto* container = dynamic_cast<CContainer*>(child.get())) return container;
    return nullptr;
}

CTessaformDocVST::LoadResult CTessaformDocVST::load(std::span<const std::uint8_t> data) {
    clear();
    version = CURRENT_ARCHIVE_VERSION;
    CTessaformDocVST staged;
    try {
        CArchive ar(data);
        staged.read_header_and_root(ar);
        staged.leftovers_ = ar.release_unadopted();
    } catch (const TooNewArchive& too_new) {
        show_message(too_new.message, MessageIcon::information);
        return {false, too_new.message};
    } catch (const std::exception& e) {
        return {false, e.what()};
    } catch (...) {
        return {false, "unexpected error while reading the patch"};
    }
    plugin_id = std::move(staged.plugin_id);
    header_flag = staged.header_flag;
    header_text = std::move(staged.header_text);
    can_mono = staged.can_mono;
    header_block = staged.header_block;
    plugin_flags = staged.plugin_flags;
    program_count = staged.program_count;
    vendor_name = std::move(staged.vendor_name);
    product_name.clear();
    skin_flag = staged.skin_flag;
    field5 = std::move(staged.field5);
    field6 = staged.field6;
    field8 = staged.field8;
    field10 = std::move(staged.field10);
    field17 = std::move(staged.field17);
    stored_product_name = std::move(staged.stored_product_name);
    field21 = staged.field21;
    embedded_files = std::move(staged.embedded_files);
    leftovers_ = std::move(staged.leftovers_);
    set_root(std::move(staged.root_));
    version = CURRENT_ARCHIVE_VERSION;
    return {true, {}};
}

void CTessaformDocVST::read_header_and_root(CArchive& ar) {
    const std::int32_t v = ar.ReadInt();
    if (v > CURRENT_ARCHIVE_VERSION) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "Load Cancelled.  File created by a newer version of Tessaform (V%.2f). See Tessaform web site "
                      "for latest version.",
                      v / 100.0);
        throw TooNewArchive{text};
    }
    ar.set_archive_version(v);

    if (v > 82) {
        for (ArchiveObject* file : ar.ReadObjectList("imbedded_file")) {
            if (!file) continue;
            std::unique_ptr<ArchiveObject> owned = ar.adopt(file);
            if (!owned) throw CArchiveException(ArchiveError::generic, "embedded file listed twice");
            embedded_files.push_back(std::move(owned));
        }
    }
    if (v > 15 && v < 49) ar.ReadText();
    if (v > 20 && v < 48) ar.SkipRaw(180);
    field5 = ar.ReadText();
    if (v > 8) field6 = ar.ReadInt();
    if (v > 19 && v < 94960) ar.ReadInt();
    if (v > 44) field8 = ar.ReadInt();
    if (v > 55) {
        plugin_id = ar.ReadText();
        if (v > 61) field10 = ar.ReadText();
        if (v > 57) {
            header_flag = ar.ReadInt() != 0;
            header_text = ar.ReadText();
        }
        if (v > 63) can_mono = ar.ReadInt() != 0;
        if (v > 56) ar.ReadRaw(header_block.data(), header_block.size());
        if (v > 68) {
            plugin_flags = ar.ReadInt();
            program_count = ar.ReadInt();
            if (v > 70) vendor_name = ar.ReadText();
            if (v > 85) field17 = ar.ReadText();
            if (v < 94400) ar.ReadText();
            stored_product_name = ar.ReadText();  // the plug-in keeps its own product name empty
        }
        skin_flag = ar.ReadInt();
        if (skin_flag != 0) {
            // Embedded skins cannot be read by this build yet.
            const bool skins_follow = v > 58 ? ar.ReadInt() >= 1 : true;
            if (skins_follow) throw CArchiveException(ArchiveError::bad_class, "embedded skins");
        }
    }
    if (v > 95272) field21 = ar.ReadByte();

    ArchiveObject* object = ar.ReadObject("CContainer");
    auto* root = dynamic_cast<CContainer*>(object);
    if (!root) throw CArchiveException(ArchiveError::generic, "no root container");
    if (root->being_read()) throw CArchiveException(ArchiveError::generic, "root container is malformed");
    root_ = ar.adopt_as(root);
    if (!root_) throw CArchiveException(ArchiveError::generic, "root container is held by another container");
    if (v > 10 && v < 16) ar.ReadText();

    root_->set_parent_pass(nullptr);
    if (v < 37) attach_unlisted_wires(*root_);
    root_->open(true);
    root_->mark_loaded_root();
}

std::vector<std::uint8_t> CTessaformDocVST::write() const {
    CArchive ar;
    ar.WriteInt(CURRENT_ARCHIVE_VERSION);
    std::vector<const ArchiveObject*> files;
    for (const auto& file : embedded_files) files.push_back(file.get());
    ar.WriteObjectList(files);
    ar.WriteText(field5);
    ar.WriteInt(field6);
    ar.WriteInt(field8);
    ar.WriteText(plugin_id);
    ar.WriteText(field10);
    ar.WriteInt(header_flag ? 1 : 0);
    ar.WriteText(header_text);
    ar.WriteInt(can_mono ? 1 : 0);
    ar.WriteRaw(header_block.data(), header_block.size());
    ar.WriteInt(plugin_flags);
    ar.WriteInt(program_count);
    ar.WriteText(vendor_name);
    ar.WriteText(field17);
    ar.WriteText(stored_product_name);
    ar.WriteInt(skin_flag);
    if (skin_flag != 0) ar.WriteInt(0);  // no skin records to follow
    ar.WriteByte(field21);
    ar.WriteObject(root_.get());
    return ar.bytes();
}

}  // namespace tf

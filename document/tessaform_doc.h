#pragma once
// The plug-in's document: the header of the patch archive and the root
// container that holds the whole patch.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/archive.h"

namespace tf {

class CContainer;

// plugin_flags bits.
enum : std::int32_t {
    PF_SYNTH = 1,
    PF_STEREO_OUTS = 2,
    PF_OWN_NAMES = 4,
    PF_SENDS_TIME_INFO = 8,
};

class CTessaformDocVST {
public:
    struct LoadResult {
        bool ok = false;
        std::string error;  // the reader's error text on failure
    };

    CTessaformDocVST();
    ~CTessaformDocVST();
    CTessaformDocVST(const CTessaformDocVST&) = delete;
    CTessaformDocVST& operator=(const CTessaformDocVST&) = delete;

    // Replaces the document with the patch in `data` (an unscrambled archive).
    // On failure the document is left empty and the reason is returned; no
    // exception escapes. Editor thread.
    LoadResult load(std::span<const std::uint8_t> data);

    // The header and the root container at the current version. An empty
    // document writes a null root. Throws CArchiveException only when the
    // tree nests records deeper than the archive allows. Editor thread.
    std::vector<std::uint8_t> write() const;

    CContainer* root() const { return root_.get(); }
    // Takes `root` as the document's root container (for documents made in memory).
    void set_root(std::unique_ptr<CContainer> root);
    // The first child of the root that is a container.
    CContainer* main_container() const;

    int version = CURRENT_ARCHIVE_VERSION;
    std::string plugin_id;      // the VST unique ID comes from it
    bool header_flag = false;   // header field 11, the int
    std::string header_text;    // header field 11, the text
    bool can_mono = true;
    std::array<std::uint8_t, 8> header_block{};
    std::int32_t plugin_flags = 0;
    std::int32_t program_count = 16;
    std::string vendor_name;
    std::string product_name;   // never read from the archive: stays empty
    std::int32_t skin_flag = 0;

    // Header fields the plug-in does not use, kept so that a patch is written
    // back exactly as it was read.
    std::string field5;
    std::int32_t field6 = 0;
    std::int32_t field8 = 0;
    std::string field10;
    std::string field17;
    std::string stored_product_name;  // field 19; the plug-in's product_name stays empty
    std::uint8_t field21 = 0;

    // Embedded files read from the header, until the application takes them.
    std::vector<std::unique_ptr<ArchiveObject>> embedded_files;

private:
    void clear();
    void read_header_and_root(CArchive& ar);

    std::unique_ptr<CContainer> root_;
    // Objects the archive made that no owner adopted; kept alive because raw
    // pointers in the tree may still name them.
    std::vector<std::unique_ptr<ArchiveObject>> leftovers_;
};

}  // namespace tf

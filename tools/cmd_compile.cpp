// tessaform compile PATCH.txt -o PATCH.dat: builds a patch archive from patch text.

#include <cstdio>
#include <cstring>
#include <string>

#include "document/patch_text.h"
#include "document/tessaform_doc.h"
#include "tools/file_bytes.h"

namespace tf {

int run_compile(int argc, char** argv) {
    const char* usage = "usage: tessaform compile PATCH.txt -o PATCH.dat\n";
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::printf("%sBuilds a patch archive from patch text (docs/patch-text.md).\n", usage);
        return 0;
    }
    std::string input, output;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-o") && i + 1 < argc) output = argv[++i];
        else if (input.empty() && argv[i][0] != '-') input = argv[i];
        else {
            std::fprintf(stderr, "tessaform compile: unexpected argument '%s'\n%s", argv[i], usage);
            return 2;
        }
    }
    if (input.empty() || output.empty()) {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    std::unique_ptr<CTessaformDocVST> doc;
    try {
        doc = compile_patch_text(read_file_text(input));
    } catch (const PatchTextError& e) {
        std::fprintf(stderr, "tessaform compile: %s: %s\n", input.c_str(), e.what());
        return 1;
    }
    write_file_bytes(output, doc->write());
    return 0;
}

}  // namespace tf

// tessaform dump PATCH.dat: prints a patch archive as patch text.

#include <cstdio>
#include <cstring>
#include <string>

#include "document/patch_text.h"
#include "document/tessaform_doc.h"
#include "tools/file_bytes.h"

namespace tf {

int run_dump(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::printf("usage: tessaform dump PATCH.dat [-o PATCH.txt]\n"
                    "Prints the patch archive as patch text (docs/patch-text.md).\n");
        return 0;
    }
    std::string input, output;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-o") && i + 1 < argc) output = argv[++i];
        else if (input.empty() && argv[i][0] != '-') input = argv[i];
        else {
            std::fprintf(stderr, "tessaform dump: unexpected argument '%s'\nusage: tessaform dump PATCH.dat [-o PATCH.txt]\n", argv[i]);
            return 2;
        }
    }
    if (input.empty()) {
        std::fprintf(stderr, "usage: tessaform dump PATCH.dat [-o PATCH.txt]\n");
        return 2;
    }
    const auto bytes = read_file_bytes(input);
    CTessaformDocVST doc;
    const auto result = doc.load(bytes);
    if (!result.ok) {
        std::fprintf(stderr, "tessaform dump: %s: %s\n", input.c_str(), result.error.c_str());
        return 1;
    }
    const std::string text = dump_patch_text(doc);
    if (output.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    else write_file_text(output, text);
    return 0;
}

}  // namespace tf

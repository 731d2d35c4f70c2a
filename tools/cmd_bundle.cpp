// tessaform bundle PATCH -o NAME.so: makes a VST 2 plug-in that plays PATCH.

#include <cstdio>
#include <cstring>
#include <string>

#include "host/patch_bundle.h"
#include "tools/plugin_runtime.h"

namespace tf {

namespace {

void print_usage(FILE* out) {
    std::fprintf(out,
                 "usage: tessaform bundle PATCH.dat|PATCH.txt -o NAME.so [--runtime LIB.so]\n"
                 "Makes a VST 2 plug-in library that carries PATCH inside itself.\n"
                 "  -o NAME.so       the plug-in to write\n"
                 "  --runtime LIB    the plug-in runtime library (default: libtessaform_plugin.so\n"
                 "                   beside this tool, or $TESSAFORM_PLUGIN_RUNTIME)\n");
}

}  // namespace

int run_bundle(int argc, char** argv) {
    std::string patch, out, runtime;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            print_usage(stdout);
            return 0;
        }
        if (arg == "-o" || arg == "--out" || arg == "--runtime") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tessaform bundle: %s needs a value\n\n", arg.c_str());
                print_usage(stderr);
                return 2;
            }
            (arg == "--runtime" ? runtime : out) = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "tessaform bundle: unknown option %s\n\n", arg.c_str());
            print_usage(stderr);
            return 2;
        } else if (patch.empty()) {
            patch = arg;
        } else {
            std::fprintf(stderr, "tessaform bundle: more than one patch given\n\n");
            print_usage(stderr);
            return 2;
        }
    }
    if (patch.empty() || out.empty()) {
        std::fprintf(stderr, "tessaform bundle: %s\n\n", patch.empty() ? "no patch given" : "no output given (-o NAME.so)");
        print_usage(stderr);
        return 2;
    }
    const std::string library = find_plugin_runtime(runtime);
    if (library.empty()) {
        std::fprintf(stderr, "tessaform bundle: the plug-in runtime library was not found%s%s\n",
                     runtime.empty() ? "" : ": ", runtime.c_str());
        return 1;
    }
    try {
        bundle_patch_file(patch, library, out);
    } catch (const BundleError& e) {
        std::fprintf(stderr, "tessaform bundle: %s: %s\n", patch.c_str(), e.what());
        return 1;
    }
    std::printf("%s\n", out.c_str());
    return 0;
}

}  // namespace tf

// The plug-in library's exported entry points. Hosts look for
// "VSTPluginMain", older ones for "main"; both do the same. Only these two
// names leave the library (see the version script in CMakeLists.txt).

#include "host/plugin_library.h"
#include "host/tf_vst.h"

namespace {

tf::AEffect* start_plugin(tf::audioMasterCallback host) {
    static const int anchor = 0;  // any object inside this library
    return tf::tessaform_main(host, tf::bundled_patch_origin(tf::library_path_of(&anchor)));
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) tf::AEffect* VSTPluginMain(tf::audioMasterCallback host) {
    return start_plugin(host);
}

// "main" cannot be declared as a C++ function of this type; the assembler
// name gives the symbol its name.
__attribute__((visibility("default"))) tf::AEffect* tessaform_plugin_main(tf::audioMasterCallback host) asm("main");
tf::AEffect* tessaform_plugin_main(tf::audioMasterCallback host) { return start_plugin(host); }

}

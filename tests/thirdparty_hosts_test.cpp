// Bundled plug-ins as third-party hosts see them: Ardour's and qtractor's
// plug-in scanners (Debian packages ardour and qtractor, installed by
// scripts/setup-deps.sh) load each bundle in a process of their own and must
// report its name, vendor, audio and MIDI ports as the patch declares them.
// A missing scanner fails: these hosts are what users load the plug-in into.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "document/tessaform_doc.h"
#include "host/patch_bundle.h"
#include "tests/support/plugin_patches.h"
#include "tests/support/tool_runner.h"

namespace tf {
namespace {

namespace fs = std::filesystem;
using plugin_test::PatchSpec;
using plugin_test::TempFolder;

struct CommandResult {
    int exit_code = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command; `timeout` ends a scanner that hangs instead of the
// whole test run.
CommandResult run_shell(const std::string& command) {
    CommandResult r;
    FILE* pipe = popen(("timeout 120 " + command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    const int status = pclose(pipe);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The AddressSanitizer runtime this process runs with, if any. A plug-in of a
// sanitizer build only loads into a host that has the runtime preloaded.
std::optional<std::string> sanitizer_runtime() {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const std::size_t slash = line.find('/');
        if (slash != std::string::npos && line.find("/libasan.so", slash) != std::string::npos)
            return line.substr(slash);
    }
    return std::nullopt;
}

// Environment settings that let a host load this build's plug-in.
std::string sanitizer_environment() {
    const auto runtime = sanitizer_runtime();
    if (!runtime) return {};
    // The host's own allocations are not ours to judge.
    return "LD_PRELOAD=" + test::shell_quote(*runtime) + " ASAN_OPTIONS=detect_leaks=0 ";
}

// What a host's scan found of one plug-in.
struct ScannedPlugin {
    std::string name;
    std::string vendor;  // empty where the host does not list it
    int inputs = -1;
    int outputs = -1;
    int midi_inputs = -1;
    int midi_outputs = -1;
    int parameters = -1;
    std::uint32_t unique_id = 0;
    std::optional<bool> instrument;  // where the host lists it
    std::string category;            // where the host lists it
};

// One patch and what a host must report of its bundle.
struct HostCase {
    const char* label;
    PatchSpec layout;
    std::string name;
    std::string vendor_prefix;
    bool instrument;
};

void PrintTo(const HostCase& c, std::ostream* out) { *out << c.label; }

std::uint32_t four_cc(const std::string& id) {
    std::uint32_t value = 0;
    for (char c : id) value = (value << 8) | static_cast<unsigned char>(c);
    return value;
}

std::vector<HostCase> host_cases() {
    PatchSpec synth;
    synth.title = "Scan Probe";
    synth.vendor_name = "Probe Works";
    synth.plugin_id = "TfSp";
    synth.audio_inputs = 2;
    synth.audio_outputs = 3;
    synth.midi_in = true;
    synth.midi_through = false;
    synth.plugin_flags = PF_SYNTH | PF_OWN_NAMES;

    PatchSpec effect;
    effect.title = "Scan Effect";
    effect.plugin_id = "TfSe";
    effect.audio_inputs = 1;
    effect.audio_outputs = 1;
    effect.midi_in = false;
    effect.midi_through = false;

    PatchSpec router;  // MIDI in and out, no audio input at all
    router.title = "Scan Router";
    router.plugin_id = "TfSr";
    router.audio_inputs = 0;
    router.audio_outputs = 2;
    router.midi_in = true;
    router.midi_through = true;

    return {
        {"Instrument", synth, "Scan Probe", "Probe Works", true},
        {"Effect", effect, "Scan Effect - Tessaform", "Tessaform", false},
        {"MidiThrough", router, "Scan Router - Tessaform", "Tessaform", false},
    };
}

class ThirdPartyHosts : public ::testing::TestWithParam<HostCase> {
protected:
    void SetUp() override {
        const HostCase& c = GetParam();
        const std::string dat = folder.file("patch.dat");
        plugin_test::write_file(dat, plugin_test::make_patch(c.layout));
        plugin = folder.file(std::string(c.label) + ".so");
        bundle_patch_file(dat, TF_PLUGIN_RUNTIME_PATH, plugin);
    }

    void expect_matches(const ScannedPlugin& found, bool host_lists_vendor) {
        const HostCase& c = GetParam();
        EXPECT_EQ(found.name, c.name);
        if (host_lists_vendor) {
            EXPECT_EQ(found.vendor.rfind(c.vendor_prefix, 0), 0u) << found.vendor;
        }
        EXPECT_EQ(found.inputs, c.layout.audio_inputs);
        EXPECT_EQ(found.outputs, c.layout.audio_outputs);
        EXPECT_EQ(found.midi_inputs, c.layout.midi_in ? 1 : 0);
        EXPECT_EQ(found.midi_outputs, c.layout.midi_in && c.layout.midi_through ? 1 : 0);
        EXPECT_EQ(found.unique_id, four_cc(c.layout.plugin_id));
        if (found.instrument) {
            EXPECT_EQ(*found.instrument, c.instrument);
        }
    }

    TempFolder folder;
    std::string plugin;
};

// ---- Ardour ---------------------------------------------------------------

std::optional<fs::path> find_ardour_scanner() {
    std::vector<fs::path> roots = {"/usr/lib", "/usr/local/lib"};
    for (const auto& entry : fs::directory_iterator("/usr/lib", fs::directory_options::skip_permission_denied))
        if (entry.is_directory() && entry.path().filename().string().find("-linux-gnu") != std::string::npos)
            roots.push_back(entry.path());
    for (const auto& root : roots) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(root, ec)) {
            if (entry.path().filename().string().rfind("ardour", 0) != 0) continue;
            const fs::path scanner = entry.path() / "ardour-vst-scanner";
            if (fs::exists(scanner)) return scanner;
        }
    }
    return std::nullopt;
}

// The value of `attribute="..."` in `element`, with the XML escapes undone.
std::optional<std::string> xml_attribute(const std::string& element, const std::string& attribute) {
    const std::string key = " " + attribute + "=\"";
    const std::size_t at = element.find(key);
    if (at == std::string::npos) return std::nullopt;
    const std::size_t from = at + key.size();
    const std::size_t to = element.find('"', from);
    if (to == std::string::npos) return std::nullopt;
    std::string raw = element.substr(from, to - from), text;
    static const std::map<std::string, char> escapes = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (std::size_t i = 0; i < raw.size();) {
        bool replaced = false;
        for (const auto& [escape, c] : escapes) {
            if (raw.compare(i, escape.size(), escape) == 0) {
                text += c;
                i += escape.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) text += raw[i++];
    }
    return text;
}

int int_attribute(const std::string& element, const std::string& attribute) {
    const auto text = xml_attribute(element, attribute);
    return text ? std::stoi(*text) : -1;
}

// The scanner writes one cache file per library under
// $XDG_CACHE_HOME/ardour<N>/vst/, an XML document with one VST2Info element
// per plug-in. It exits 0 whether or not the library loaded, so the cache
// file is the only proof of success.
ScannedPlugin scan_with_ardour(const fs::path& scanner, const std::string& plugin, const TempFolder& home) {
    const std::string cache = home.file("cache");
    const CommandResult r =
        run_shell("env HOME=" + test::shell_quote(home.path()) + " XDG_CACHE_HOME=" + test::shell_quote(cache) +
                  " LD_LIBRARY_PATH=" + test::shell_quote(scanner.parent_path().string()) + " " +
                  sanitizer_environment() + test::shell_quote(scanner.string()) + " -f " + test::shell_quote(plugin));
    std::vector<fs::path> infos;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(cache, ec))
        if (entry.path().extension() == ".v2i") infos.push_back(entry.path());
    if (infos.size() != 1) {
        ADD_FAILURE() << "expected one cache file, found " << infos.size() << "; scanner said:\n" << r.output;
        return {};
    }
    const std::string xml = read_text(infos.front());
    const std::size_t start = xml.find("<VST2Info ");
    if (start == std::string::npos || xml.find("<VST2Info ", start + 1) != std::string::npos) {
        ADD_FAILURE() << "expected one VST2Info element:\n" << xml << "\nscanner said:\n" << r.output;
        return {};
    }
    const std::string element = xml.substr(start, xml.find('>', start) - start);
    EXPECT_EQ(xml_attribute(xml, "binary"), plugin) << xml;
    ScannedPlugin found;
    found.name = xml_attribute(element, "name").value_or("");
    found.vendor = xml_attribute(element, "creator").value_or("");
    found.inputs = int_attribute(element, "n_inputs");
    found.outputs = int_attribute(element, "n_outputs");
    found.midi_inputs = int_attribute(element, "n_midi_inputs");
    found.midi_outputs = int_attribute(element, "n_midi_outputs");
    found.unique_id = static_cast<std::uint32_t>(std::stoll(xml_attribute(element, "id").value_or("0")));
    found.instrument = int_attribute(element, "is_instrument") == 1;
    found.category = xml_attribute(element, "category").value_or("");
    EXPECT_EQ(int_attribute(element, "can_process_replace"), 1) << element;
    return found;
}

TEST_P(ThirdPartyHosts, ArdourScannerReportsThePlugin) {
    if (sanitizer_runtime())
        GTEST_SKIP() << "Ardour's scanner hangs on exit with the AddressSanitizer runtime preloaded; "
                        "the release build runs this test";
    const auto scanner = find_ardour_scanner();
    ASSERT_TRUE(scanner) << "ardour-vst-scanner not found under /usr/lib/ardour*/ "
                            "(Debian package ardour; scripts/setup-deps.sh installs it)";
    TempFolder home;
    const ScannedPlugin found = scan_with_ardour(*scanner, plugin, home);
    expect_matches(found, true);
    // The plug-in names its category only when it is an instrument.
    EXPECT_EQ(found.category, GetParam().instrument ? "Instrument" : "Unknown");
}

// ---- qtractor -------------------------------------------------------------

std::optional<fs::path> find_qtractor_scanner() {
    std::vector<fs::path> candidates = {"/usr/lib/qtractor/qtractor_plugin_scan",
                                        "/usr/local/lib/qtractor/qtractor_plugin_scan"};
    for (const auto& entry : fs::directory_iterator("/usr/lib", fs::directory_options::skip_permission_denied))
        if (entry.is_directory()) candidates.push_back(entry.path() / "qtractor" / "qtractor_plugin_scan");
    for (const auto& c : candidates)
        if (fs::exists(c)) return c;
    return std::nullopt;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// "a:b" as two counts.
std::pair<int, int> count_pair(const std::string& text) {
    const auto parts = split(text, ':');
    if (parts.size() != 2) return {-1, -1};
    return {std::stoi(parts[0]), std::stoi(parts[1])};
}

// The scanner reads "VST2:<path>" lines on its standard input and writes one
// line per plug-in found:
//   VST|name|audio in:out|MIDI in:out|controls in:out|flags|path|index|0xID
ScannedPlugin scan_with_qtractor(const fs::path& scanner, const std::string& plugin, const TempFolder& home) {
    const std::string request = home.file("request.txt");
    {
        std::ofstream out(request);
        out << "VST2:" << plugin << "\n";
    }
    const CommandResult r = run_shell("env HOME=" + test::shell_quote(home.path()) +
                                      " QT_QPA_PLATFORM=offscreen DISPLAY= " + sanitizer_environment() +
                                      test::shell_quote(scanner.string()) + " < " + test::shell_quote(request));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    std::vector<std::string> found_lines;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("VST|", 0) == 0) found_lines.push_back(line);
    if (found_lines.size() != 1) {
        ADD_FAILURE() << "expected one VST line; scanner said:\n" << r.output;
        return {};
    }
    const auto fields = split(found_lines.front(), '|');
    if (fields.size() != 9) {
        ADD_FAILURE() << "unexpected line: " << found_lines.front();
        return {};
    }
    EXPECT_EQ(fields[6], plugin);
    ScannedPlugin found;
    found.name = fields[1];
    std::tie(found.inputs, found.outputs) = count_pair(fields[2]);
    std::tie(found.midi_inputs, found.midi_outputs) = count_pair(fields[3]);
    found.parameters = count_pair(fields[4]).first;
    found.unique_id = static_cast<std::uint32_t>(std::stoul(fields[8], nullptr, 16));
    // "RT": the host may run it in its audio thread; "GUI": it has an editor.
    EXPECT_NE(fields[5].find("RT"), std::string::npos) << found_lines.front();
    return found;
}

TEST_P(ThirdPartyHosts, QtractorScannerReportsThePlugin) {
    const auto scanner = find_qtractor_scanner();
    ASSERT_TRUE(scanner) << "qtractor_plugin_scan not found under /usr/lib/*/qtractor/ "
                            "(Debian package qtractor; scripts/setup-deps.sh installs it)";
    TempFolder home;
    const ScannedPlugin found = scan_with_qtractor(*scanner, plugin, home);
    expect_matches(found, false);  // the scan line has no vendor field
    EXPECT_EQ(found.parameters, 0);  // the example patch has no patch parameters
}

// The dynamic loader resolves every symbol of the bundle (the section the
// bundler adds must leave the loaded part intact).
TEST_P(ThirdPartyHosts, BundleResolvesEverySymbol) {
    const CommandResult r = run_shell("ldd -r " + test::shell_quote(plugin));
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(r.output.find("undefined symbol"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("not found"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("libc.so"), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Bundles, ThirdPartyHosts, ::testing::ValuesIn(host_cases()),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace tf

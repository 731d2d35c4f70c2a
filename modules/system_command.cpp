#include "modules/system_command.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "engine/module_registration.h"

extern char** environ;

namespace tf {

namespace {
ModuleClassRegistration<ug_system_command> registration("OS Command");
}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
    std::vector<std::string> args;
    std::string current;
    bool in_word = false;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
            current += '"';
            in_word = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (in_word) args.push_back(std::move(current));
            current.clear();
            in_word = false;
        } else {
            current += c;
            in_word = true;
        }
    }
    if (in_word) args.push_back(std::move(current));
    return args;
}

std::string LibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::string() : path.parent_path().string();
}

// --- Launcher -------------------------------------------------------------

void CommandLauncher::Start(std::string folder) {
    Stop();
    folder_ = std::move(folder);
    write_.store(0);
    read_.store(0);
    running_.store(true, std::memory_order_release);
    worker_ = std::thread(&CommandLauncher::Work, this);
}

void CommandLauncher::Stop() {
    running_.store(false, std::memory_order_release);
    if (worker_.joinable()) worker_.join();
}

bool CommandLauncher::Post(std::string_view command) {
    if (command.size() >= kMaxCommand) return false;
    const unsigned w = write_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= kSlots) return false;
    const std::size_t slot = w % kSlots;
    std::memcpy(slots_[slot].data(), command.data(), command.size());
    lengths_[slot] = command.size();
    write_.store(w + 1, std::memory_order_release);
    return true;
}

void CommandLauncher::Work() {
    using namespace std::chrono_literals;
    while (running_.load(std::memory_order_acquire)) {
        const unsigned r = read_.load(std::memory_order_relaxed);
        if (r != write_.load(std::memory_order_acquire)) {
            const std::size_t slot = r % kSlots;
            const std::string command(slots_[slot].data(), lengths_[slot]);
            read_.store(r + 1, std::memory_order_release);
            Launch(command);
        } else {
            Reap();
            std::this_thread::sleep_for(10ms);
        }
    }
    Reap();
}

void CommandLauncher::Launch(std::string_view command) {
    std::vector<std::string> args = SplitCommandLine(command);
    if (args.empty()) return;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The child starts in the library's folder; this process's folder is never changed.
    if (!folder_.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc == 0) {
        children_.push_back(pid);
        started_.fetch_add(1, std::memory_order_release);
    } else {
        failed_.fetch_add(1, std::memory_order_release);
    }
}

void CommandLauncher::Reap() {
    // Collect finished children so that they leave no zombies; never wait for a running one.
    std::erase_if(children_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

// --- Module ---------------------------------------------------------------

void ug_system_command::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Trigger in", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT,
                      "Whenever this input exceeds 3.33 Volts, the DOS command is executed.");
    list.emplace_back(&command, "Command", DR_IN, PT_TEXT, "", "", 0, "The DOS command to execute.");
}

void ug_system_command::Open() {
    launcher_.Start(LibraryFolder());
    failures_reported_ = 0;
    SetLogicPins({0}, {});
    ug_logic_base::Open();
}

void ug_system_command::Close() {
    launcher_.Stop();
    ug_logic_base::Close();
}

void ug_system_command::OnLevelsChanged(std::uint32_t, int) {
    if (!level(0) || previous_level(0)) return;
    if (launcher_.failed() != failures_reported_) {
        failures_reported_ = launcher_.failed();
        ReportError("a command could not be started");
    }
    if (!launcher_.Post(command)) ReportError("command not run: too long, or too many waiting");
}

}  // namespace tf

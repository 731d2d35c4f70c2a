#pragma once
// "OS Command": starts the "Command" text as a new process at each rising
// logic edge of "Trigger in". The audio thread only copies the text into a
// fixed slot of a single-producer ring; a worker thread of the module starts
// the process (no shell: the text is split into an argument vector and
// started directly, with the plug-in library's folder as its working folder)
// and does not wait for it.

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "modules/logic_base.h"

namespace tf {

// Splits a command line into arguments: blanks separate, double quotes group
// (and are removed), a backslash before a double quote makes it literal.
// Nothing else is special: no variables, globs, pipes or separators.
std::vector<std::string> SplitCommandLine(std::string_view text);

// The folder of the binary this code lives in (the plug-in library), or "".
std::string LibraryFolder();

class CommandLauncher {
public:
    static constexpr int kSlots = 8;
    static constexpr std::size_t kMaxCommand = 1024;

    CommandLauncher() = default;
    ~CommandLauncher() { Stop(); }
    CommandLauncher(const CommandLauncher&) = delete;
    CommandLauncher& operator=(const CommandLauncher&) = delete;

    // Build or editor thread: starts the worker, which runs commands in `folder`.
    void Start(std::string folder);
    // Stops the worker; commands not yet started are dropped.
    void Stop();
    // Audio thread (the one producer): queues a command; false when the text
    // is too long or the ring is full. No allocation, no lock, no system call.
    bool Post(std::string_view command);
    // Any thread: processes started, and starts that failed, so far.
    int started() const { return started_.load(std::memory_order_acquire); }
    int failed() const { return failed_.load(std::memory_order_acquire); }

private:
    void Work();
    void Launch(std::string_view command);
    void Reap();

    std::array<std::array<char, kMaxCommand>, kSlots> slots_{};
    std::array<std::size_t, kSlots> lengths_{};
    std::atomic<unsigned> write_{0};
    std::atomic<unsigned> read_{0};
    std::atomic<bool> running_{false};
    std::atomic<int> started_{0};
    std::atomic<int> failed_{0};
    std::thread worker_;
    std::string folder_;
    std::vector<pid_t> children_;  // worker thread only
};

class ug_system_command : public ug_logic_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_system_command>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void Close() override;
    const CommandLauncher& launcher() const { return launcher_; }

protected:
    void OnLevelsChanged(std::uint32_t time, int position) override;

    std::string command;
    CommandLauncher launcher_;
    int failures_reported_ = 0;
};

}  // namespace tf

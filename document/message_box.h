#pragma once
// Message boxes are a pluggable sink. The system shows its user-facing errors
// through show_message with their literal texts; a host integration can show a
// dialog, the command-line tools print to stderr, tests capture the text.

#include <functional>
#include <string>
#include <vector>

namespace tf {

enum class MessageIcon { none, information, warning, error };

using MessageSink = std::function<void(const std::string& text, MessageIcon icon)>;

// Shows a message with an OK button. Goes to the calling thread's scoped sink
// if one is installed, else to the process sink (stderr unless replaced).
// Any thread; never throws.
void show_message(const std::string& text, MessageIcon icon = MessageIcon::none);

// Replaces the process-wide sink. Call at start-up, before other threads run.
void set_process_message_sink(MessageSink sink);

// Routes the calling thread's messages to `sink` for the guard's lifetime.
class ScopedMessageSink {
public:
    explicit ScopedMessageSink(MessageSink sink);
    ~ScopedMessageSink();
    ScopedMessageSink(const ScopedMessageSink&) = delete;
    ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

private:
    MessageSink previous_;
};

// Collects the calling thread's messages; the usual tool in tests.
class MessageCapture {
public:
    MessageCapture();
    const std::vector<std::string>& messages() const { return messages_; }
    const std::vector<MessageIcon>& icons() const { return icons_; }
    bool empty() const { return messages_.empty(); }
    void clear() { messages_.clear(); icons_.clear(); }

private:
    std::vector<std::string> messages_;
    std::vector<MessageIcon> icons_;
    ScopedMessageSink guard_;
};

}  // namespace tf

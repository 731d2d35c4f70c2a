#include "document/message_box.h"

#include <cstdio>

namespace tf {

namespace {

MessageSink& process_sink() {
    static MessageSink sink;
    return sink;
}

thread_local MessageSink* thread_sink = nullptr;
thread_local MessageSink thread_sink_storage;

}  // namespace

void show_message(const std::string& text, MessageIcon icon) {
    try {
        if (thread_sink && *thread_sink) {
            (*thread_sink)(text, icon);
            return;
        }
        if (process_sink()) {
            process_sink()(text, icon);
            return;
        }
        std::fprintf(stderr, "%s\n", text.c_str());
    } catch (...) {
        // A failing sink must not take the caller down with it.
    }
}

void set_process_message_sink(MessageSink sink) { process_sink() = std::move(sink); }

ScopedMessageSink::ScopedMessageSink(MessageSink sink) {
    previous_ = thread_sink ? *thread_sink : MessageSink{};
    thread_sink_storage = std::move(sink);
    thread_sink = &thread_sink_storage;
}

ScopedMessageSink::~ScopedMessageSink() {
    thread_sink_storage = std::move(previous_);
    if (!thread_sink_storage) thread_sink = nullptr;
}

MessageCapture::MessageCapture()
    : guard_([this](const std::string& text, MessageIcon icon) {
          messages_.push_back(text);
          icons_.push_back(icon);
      }) {}

}  // namespace tf

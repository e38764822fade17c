#include "platform/ui/Prompts.h"

#include <cstdio>

namespace ui {

namespace {

class StderrPrompts : public Prompts {
public:
    void message(const MessageRequest& r) override {
        std::fprintf(stderr, "%s\n", r.text.toLocal8Bit().constData());
    }
    bool confirm(const ConfirmRequest& r) override {
        std::fprintf(stderr, "%s (answered No)\n", r.text.toLocal8Bit().constData());
        return false;
    }
};

Prompts*& installed() {
    static Prompts* p = nullptr;
    return p;
}

} // namespace

Prompts& Prompts::current() {
    static StderrPrompts fallback;
    return installed() ? *installed() : fallback;
}

Prompts* Prompts::install(Prompts* prompts) {
    Prompts* previous = installed();
    installed() = prompts;
    return previous;
}

void ScriptedPrompts::message(const MessageRequest& r) {
    entries_.push_back({false, r.text, r.kind, {}, {}, false});
    if (onEntry) {
        onEntry(entries_.back());
    }
}

bool ScriptedPrompts::confirm(const ConfirmRequest& r) {
    bool yes = false;
    if (!answers_.empty()) {
        yes = answers_.front();
        answers_.pop_front();
    }
    entries_.push_back({true, r.text, r.kind, r.background, r.foreground, yes});
    if (onEntry) {
        onEntry(entries_.back());
    }
    return yes;
}

QStringList ScriptedPrompts::texts() const {
    QStringList t;
    for (const Entry& e : entries_) {
        t << e.text;
    }
    return t;
}

} // namespace ui

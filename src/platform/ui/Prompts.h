#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace ui {

// The silent abort: a handler throws it to stop without any message; the error handler
// neither logs nor shows it.
struct SilentAbort {};

enum class MessageKind { Information, Warning, Error, Confirmation, Question };

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct MessageRequest {
    QString text;
    MessageKind kind = MessageKind::Information;
};

struct ConfirmRequest {
    QString text;
    MessageKind kind = MessageKind::Confirmation;
    Rgb background{0, 0, 255};
    Rgb foreground{255, 255, 255};
    // Yes is the default button (Enter answers Yes); Esc and closing answer No.
};

// The one seam through which every message box and confirmation of the system is shown.
// The program installs the Widgets implementation; tests install a scripted one, so no
// test ever waits on a real modal loop. Modal windows go through the same object (see
// Modal.h in the Widgets layer).
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void message(const MessageRequest& request) = 0;
    virtual bool confirm(const ConfirmRequest& request) = 0;

    static Prompts& current();
    // Returns the previous one; nullptr restores the default (standard error, No).
    static Prompts* install(Prompts* prompts);
};

// Installs prompts for a scope and restores the previous ones after it.
class ScopedPrompts {
public:
    explicit ScopedPrompts(Prompts& p) : previous_(Prompts::install(&p)) {}
    ~ScopedPrompts() { Prompts::install(previous_); }
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;

private:
    Prompts* previous_;
};

// Records every request and answers confirmations from a queue (No when it runs dry).
// Used by tests, and by the program when told to run without a screen.
class ScriptedPrompts : public Prompts {
public:
    struct Entry {
        bool confirmation;
        QString text;
        MessageKind kind;
        Rgb background;
        Rgb foreground;
        bool answer;
    };

    void message(const MessageRequest& request) override;
    bool confirm(const ConfirmRequest& request) override;

    void answer(bool yes) { answers_.push_back(yes); }
    // Called after each request is recorded, e.g. to echo it.
    std::function<void(const Entry&)> onEntry;

    const std::vector<Entry>& entries() const { return entries_; }
    QStringList texts() const;
    void clear() { entries_.clear(); }

private:
    std::deque<bool> answers_;
    std::vector<Entry> entries_;
};

} // namespace ui

// Modal messages. Every message the program shows is also written as one
// line to stderr, so someone who started Quorvel from a terminal or a script
// sees why it stopped. Tests use the fake (fakes/), which only records.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message box with the critical-error icon.
    virtual void Critical(const std::string& title, const std::string& text) = 0;
    // A plain information box (the About box, news of the library, a summary).
    virtual void Information(const std::string& title, const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Question(const std::string& title, const std::string& text) = 0;
};

class QtDialogs final : public Dialogs {
public:
    void Critical(const std::string& title, const std::string& text) override;
    void Information(const std::string& title, const std::string& text) override;
    bool Question(const std::string& title, const std::string& text) override;
};

// The stderr line for a message: "quorvel: <title>: <text>" with line breaks as blanks.
std::string MessageLine(const std::string& title, const std::string& text);

}  // namespace quorvel

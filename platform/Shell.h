// Opens a web page in the user's default browser.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

class Shell {
public:
    virtual ~Shell() = default;
    virtual void OpenUrl(const std::string& url) = 0;
};

class QtShell final : public Shell {
public:
    void OpenUrl(const std::string& url) override;
};

class FakeShell final : public Shell {
public:
    void OpenUrl(const std::string& url) override { opened.push_back(url); }
    std::vector<std::string> opened;
};

}  // namespace quorvel

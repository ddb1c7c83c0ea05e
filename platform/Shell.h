// Opens a page or file with the desktop's own program for it.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

class Shell {
public:
    virtual ~Shell() = default;
    // False when the desktop has no program to open it with.
    virtual bool OpenUrl(const std::string& url) = 0;
};

class QtShell final : public Shell {
public:
    bool OpenUrl(const std::string& url) override;
};

}  // namespace quorvel

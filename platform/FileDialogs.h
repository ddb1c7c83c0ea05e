// The standard file dialogs.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen path, or empty when the user cancelled. Without
    // `confirmOverwrite` the caller asks about the file it will really write.
    virtual std::string SaveFileName(const std::string& title, const std::string& suggested, const std::string& filter,
                                     bool confirmOverwrite = true) = 0;
    // `start`: the file (or folder) the dialog opens on; the system's choice when empty.
    virtual std::string OpenFileName(const std::string& filter, const std::string& start = {}) = 0;
};

class QtFileDialogs final : public FileDialogs {
public:
    std::string SaveFileName(const std::string& title, const std::string& suggested, const std::string& filter,
                             bool confirmOverwrite) override;
    std::string OpenFileName(const std::string& filter, const std::string& start) override;
};

}  // namespace quorvel

// A folder of its own for one test or benchmark: new and empty when made,
// removed with all it holds when it goes (a test that took a permission
// away gets it back first). Tests of one executable run side by side under
// CTest, so every folder is named after the process and a count.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace quorvel::test_support {

class TempFolder {
public:
    explicit TempFolder(const std::string& purpose)
    {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("quorvel-" + purpose + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // A file of these bytes in the folder.
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path p = path_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::filesystem::path path_;
};

// The folder called `name` in this run, made when first asked for; all of
// them go when the run ends.
inline const std::filesystem::path& FolderFor(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<TempFolder>> folders;
    auto& folder = folders[name];
    if (!folder) folder = std::make_unique<TempFolder>(name);
    return folder->Path();
}

}  // namespace quorvel::test_support

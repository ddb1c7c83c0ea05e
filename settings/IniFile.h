// The settings file as text, edited the way a person would edit it.
// Reading finds a key by section and name without regard to case; writing
// replaces a value in place, appends a missing key at the end of its section
// and a missing section at the end of the file, and leaves every other byte
// (comments, unknown keys, blank lines, the file's own line endings) alone.
// The document is a plain value; SaveIniFile puts it on disk atomically.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Expected.h"
#include "FileWrites.h"

namespace quorvel {

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::string_view text);

    // The value of a key with surrounding blanks removed (and one pair of
    // surrounding quotes, as the platform's profile reader did), at most 255
    // characters; empty when the section or key is missing.
    std::string Read(std::string_view section, std::string_view key) const;
    bool Has(std::string_view section, std::string_view key) const;
    // The sections that set `key`, in file order ("" for lines before any section).
    std::vector<std::string> SectionsWith(std::string_view key) const;

    void Write(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;

private:
    struct Line {
        std::string content;  // without its line ending
        std::string ending;   // "\n", "\r\n" or "" for a last line without one
    };
    struct KeyHit {
        std::size_t line;
        std::size_t valueStart;  // offset just after '='
    };

    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::size_t SectionEnd(std::size_t headerLine) const;
    std::optional<KeyHit> FindKey(std::string_view section, std::string_view key) const;
    std::string NewLineEnding() const;

    std::vector<Line> lines_;
};

// Loads a file into a document. std::nullopt with `error` filled when the
// file cannot be read; a missing file is an error too (callers decide).
Expected<IniDocument> LoadIniFile(const std::string& path);

std::string SaveIniFile(const std::string& path, const IniDocument& document);

}  // namespace quorvel

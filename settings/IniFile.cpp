#include "IniFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

std::string_view Trim(std::string_view s)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A UTF-8 byte order mark on the first line is kept but not part of any name.
std::string_view WithoutBom(std::string_view s, bool firstLine)
{
    if (firstLine && s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
    return s;
}

std::optional<std::string_view> SectionName(std::string_view content, bool firstLine)
{
    const std::string_view t = Trim(WithoutBom(content, firstLine));
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

bool IsComment(std::string_view trimmed) { return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#'); }

}  // namespace

IniDocument::IniDocument(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines_.push_back({std::string(text.substr(pos)), ""});
            break;
        }
        std::string_view content = text.substr(pos, nl - pos);
        std::string ending = "\n";
        if (!content.empty() && content.back() == '\r') {
            content.remove_suffix(1);
            ending = "\r\n";
        }
        lines_.push_back({std::string(content), ending});
        pos = nl + 1;
    }
}

std::optional<std::size_t> IniDocument::FindSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i].content, i == 0);
        if (name && SameName(*name, Trim(section))) return i;
    }
    return std::nullopt;
}

std::size_t IniDocument::SectionEnd(std::size_t headerLine) const
{
    std::size_t i = headerLine + 1;
    while (i < lines_.size() && !SectionName(lines_[i].content, false)) ++i;
    return i;
}

std::optional<IniDocument::KeyHit> IniDocument::FindKey(std::string_view section, std::string_view key) const
{
    const auto header = FindSection(section);
    if (!header) return std::nullopt;
    const std::size_t end = SectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        const std::string& content = lines_[i].content;
        if (IsComment(Trim(content))) continue;
        const auto eq = content.find('=');
        if (eq == std::string::npos) continue;
        if (SameName(Trim(std::string_view(content).substr(0, eq)), Trim(key))) return KeyHit{i, eq + 1};
    }
    return std::nullopt;
}

bool IniDocument::Has(std::string_view section, std::string_view key) const { return FindKey(section, key).has_value(); }

std::vector<std::string> IniDocument::SectionsWith(std::string_view key) const
{
    std::vector<std::string> sections;
    std::string current;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string& content = lines_[i].content;
        if (const auto name = SectionName(content, i == 0)) {
            current = std::string(*name);
            continue;
        }
        const auto eq = content.find('=');
        if (IsComment(Trim(content)) || eq == std::string::npos) continue;
        if (SameName(Trim(std::string_view(content).substr(0, eq)), Trim(key))) sections.push_back(current);
    }
    return sections;
}

std::string IniDocument::Read(std::string_view section, std::string_view key) const
{
    const auto hit = FindKey(section, key);
    if (!hit) return {};
    std::string_view value = Trim(std::string_view(lines_[hit->line].content).substr(hit->valueStart));
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\''))) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, 255));
}

std::string IniDocument::NewLineEnding() const
{
    for (const Line& line : lines_) {
        if (!line.ending.empty()) return line.ending;
    }
    return "\n";
}

void IniDocument::Write(std::string_view section, std::string_view key, std::string_view value)
{
    if (const auto hit = FindKey(section, key)) {
        std::string& content = lines_[hit->line].content;
        // Keep the blanks a person put after the '='.
        std::size_t keep = hit->valueStart;
        while (keep < content.size() && (content[keep] == ' ' || content[keep] == '\t')) ++keep;
        content.resize(keep);
        content += value;
        return;
    }
    const std::string ending = NewLineEnding();
    // Whatever comes next starts on a line of its own.
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = ending;
    const std::string keyLine = std::string(Trim(key)) + "=" + std::string(value);
    if (const auto header = FindSection(section)) {
        // After the section's last non-blank line, so blank lines that part
        // it from the next section stay where they are.
        std::size_t insertAt = SectionEnd(*header);
        while (insertAt > *header + 1 && Trim(lines_[insertAt - 1].content).empty()) --insertAt;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{keyLine, ending});
        return;
    }
    lines_.push_back({"[" + std::string(Trim(section)) + "]", ending});
    lines_.push_back({keyLine, ending});
}

std::string IniDocument::Text() const
{
    std::string text;
    for (const Line& line : lines_) {
        text += line.content;
        text += line.ending;
    }
    return text;
}

Expected<IniDocument> LoadIniFile(const std::string& path)
{
    const auto fail = [&](const std::string& reason) { return Expected<IniDocument>::Failure(path + ": " + reason); };
    // Not blocking: opening a FIFO would otherwise wait for a writer forever.
    // It is then refused as no regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail("not a file");
    }
    std::string text;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const std::string reason = std::strerror(errno);
            ::close(fd);
            return fail(reason);
        }
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return IniDocument(text);
}

std::string SaveIniFile(const std::string& path, const IniDocument& document)
{
    return WriteFileAtomically(path, document.Text());
}

}  // namespace quorvel

#include "PendingJobs.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "FileWrites.h"

namespace quorvel {

namespace {

constexpr const char* kHeader = "quorvel pending 1\n";
constexpr const char* kNull = "\\N";

std::string Escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Unescaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

// Fields of a line, split at tabs (escaped tabs are not tabs).
std::vector<std::string> Split(std::string_view line)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            fields.emplace_back();
        } else {
            fields.back() += line[i];
            if (line[i] == '\\' && i + 1 < line.size()) fields.back() += line[++i];
        }
    }
    return fields;
}

std::string Number(double v)
{
    std::ostringstream s;
    s.precision(17);
    s << v;
    return s.str();
}
template <typename T>
std::string Optional(const std::optional<T>& v)
{
    if (!v) return kNull;
    if constexpr (std::is_same_v<T, std::string>) return Escaped(*v);
    else return Number(static_cast<double>(*v));
}

class Reader {
public:
    explicit Reader(std::vector<std::string> fields) : f_(std::move(fields)) {}
    bool Ok() const { return ok_ && next_ == f_.size(); }
    std::string Text() { return next_ < f_.size() ? Unescaped(f_[next_++]) : Fail(); }
    double Real()
    {
        const std::string t = Text();
        double v = 0;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (ec != std::errc() || end != t.data() + t.size()) ok_ = false;
        return v;
    }
    std::int64_t Int() { return static_cast<std::int64_t>(Real()); }
    bool IsNull() const { return next_ < f_.size() && f_[next_] == kNull; }
    template <typename T>
    std::optional<T> Maybe()
    {
        if (IsNull()) {
            ++next_;
            return std::nullopt;
        }
        if constexpr (std::is_same_v<T, std::string>) return Text();
        else return static_cast<T>(Real());
    }

private:
    std::string Fail()
    {
        ok_ = false;
        return {};
    }
    std::vector<std::string> f_;
    std::size_t next_ = 1;  // after the kind
    bool ok_ = true;
};

std::string StringFields(const StringInfo& s)
{
    return std::to_string(s.id) + "\t" + Escaped(s.name) + "\t" + Escaped(s.gun) + "\t" + Escaped(s.pellet) + "\t" +
           Escaped(s.notes) + "\t" + Escaped(s.startedUtc);
}

StringInfo ReadStringFields(Reader& r) { return {r.Int(), r.Text(), r.Text(), r.Text(), r.Text(), r.Text()}; }

std::string ShotFields(const StoredShot& s)
{
    return std::to_string(s.stringId) + "\t" + Optional(s.number) + "\t" + Escaped(s.timeUtc) + "\t" +
           KindText(s.kind) + "\t" + Optional(s.muzzleVelocity) + "\t" + Optional(s.averageVelocity) + "\t" +
           Optional(s.energy) + "\t" + Optional(s.samples) + "\t" + std::to_string(s.sampleRate) + "\t" +
           Number(s.distance) + "\t" + Number(s.pelletMass) + "\t" + std::to_string(s.muzzleVolume) + "\t" +
           std::to_string(s.impactVolume) + "\t" + (s.excluded ? "1" : "0") + "\t" + Escaped(s.excludeReason) + "\t" +
           Optional(s.waveform);
}

StoredShot ReadShotFields(Reader& r)
{
    StoredShot s;
    s.stringId = r.Int();
    s.number = r.Maybe<int>();
    s.timeUtc = r.Text();
    s.kind = KindFromText(r.Text());
    s.muzzleVelocity = r.Maybe<double>();
    s.averageVelocity = r.Maybe<double>();
    s.energy = r.Maybe<double>();
    s.samples = r.Maybe<int>();
    s.sampleRate = static_cast<int>(r.Int());
    s.distance = r.Real();
    s.pelletMass = r.Real();
    s.muzzleVolume = static_cast<int>(r.Int());
    s.impactVolume = static_cast<int>(r.Int());
    s.excluded = r.Int() != 0;
    s.excludeReason = r.Text();
    s.waveform = r.Maybe<std::string>();
    return s;
}

constexpr const char* kKinds[] = {"shot", "details", "exclude", "waveform"};

std::string Line(const LibraryJob& job)
{
    std::string line = kKinds[static_cast<int>(job.kind)];
    line += "\t" + StringFields(job.string);
    if (job.kind != LibraryJob::Kind::Details) line += "\t" + ShotFields(job.shot);
    return line + "\n";
}

}  // namespace

std::optional<sql::Error> StoreJob(ShotLibrary& library, const LibraryJob& job, StringIds& ids)
{
    const auto libraryId = [&ids](std::int64_t id) {
        const auto it = ids.find(id);
        return it == ids.end() ? id : it->second;
    };
    switch (job.kind) {
    case LibraryJob::Kind::Shot: return library.AddShot(job.string, job.shot, &ids);
    case LibraryJob::Kind::Details: return library.UpdateString(job.string, &ids);
    case LibraryJob::Kind::Exclude:
        return library.SetExcluded(libraryId(job.string.id), job.shot.number.value_or(0), job.shot.excluded,
                                   job.shot.excludeReason);
    case LibraryJob::Kind::Waveform:
        return library.SetWaveform(libraryId(job.string.id), job.shot.number.value_or(0), job.shot.waveform.value_or(""));
    }
    return std::nullopt;
}

std::string PendingPath(const std::string& libraryPath) { return libraryPath + ".pending"; }

std::string KeepPending(const std::string& path, const std::vector<LibraryJob>& jobs, const StringIds& ids)
{
    std::ifstream existing(path);
    std::string text = existing.good() ? "" : kHeader;
    for (const auto& [recorder, library] : ids) text += "ids\t" + std::to_string(recorder) + "\t" + std::to_string(library) + "\n";
    for (const LibraryJob& job : jobs) text += Line(job);
    return AppendWhole(path, text);
}

Pending ReadPending(const std::string& path)
{
    Pending pending;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line + "\n" == kHeader) continue;
        Reader r(Split(line));
        const std::string kind = Split(line)[0];
        if (kind == "ids") {
            const std::int64_t recorder = r.Int(), library = r.Int();
            if (r.Ok()) pending.ids[recorder] = library;
            pending.unreadable += r.Ok() ? 0 : 1;
            continue;
        }
        LibraryJob job;
        int k = 0;
        while (k < 4 && kind != kKinds[k]) ++k;
        job.kind = static_cast<LibraryJob::Kind>(k);
        job.string = ReadStringFields(r);
        if (job.kind != LibraryJob::Kind::Details) job.shot = ReadShotFields(r);
        if (k < 4 && r.Ok()) {
            pending.jobs.push_back(std::move(job));
        } else {
            ++pending.unreadable;
        }
    }
    return pending;
}

}  // namespace quorvel

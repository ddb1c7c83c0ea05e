// The rows of the library: shots and strings written, read, taken out and
// put back, each write in a transaction of its own (ShotLibrary::Write).
#include <sqlite3.h>

#include "LibrarySql.h"
#include "ShotLibrary.h"
#include "Units.h"

namespace quorvel {

using namespace librarysql;

namespace {

void BindOptional(sql::Statement& s, int index, const std::optional<double>& v) { v ? s.Bind(index, *v) : s.BindNull(index); }

std::optional<double> OptionalReal(const sql::Statement& s, int column)
{
    return s.IsNull(column) ? std::nullopt : std::optional<double>(s.Real(column));
}

// Velocities and energy of the shots that count, string by string, from
// one pass over every shot in string order: far quicker than a query per
// string, and the statistics are the program's own, not SQL's.
class RowFigures {
public:
    explicit RowFigures(std::vector<StringRow>& rows) : rows_(rows)
    {
        for (std::size_t i = 0; i < rows.size(); ++i) index_[rows[i].info.id] = i;
    }
    void Add(std::int64_t string, double velocity, double mass, bool excluded)
    {
        if (string != current_) Finish(string);
        if (row_ == nullptr) return;
        if (excluded) {
            ++row_->excluded;
            return;
        }
        velocities_.push_back(velocity);
        energy_ += MuzzleEnergy(velocity, mass, UnitSystem::Metric);
    }
    void Finish(std::int64_t next = 0)
    {
        if (row_ != nullptr) {
            row_->summary = Summarize(velocities_);
            row_->averageEnergy = velocities_.empty() ? 0 : energy_ / static_cast<double>(velocities_.size());
        }
        current_ = next;
        const auto it = index_.find(next);
        row_ = it == index_.end() ? nullptr : &rows_[it->second];
        velocities_.clear();
        energy_ = 0;
    }

private:
    std::vector<StringRow>& rows_;
    std::unordered_map<std::int64_t, std::size_t> index_;
    std::int64_t current_ = 0;
    StringRow* row_ = nullptr;
    std::vector<double> velocities_;
    double energy_ = 0;
};

}  // namespace

namespace librarysql {

StoredShot ReadShot(const sql::Statement& s)
{
    StoredShot shot;
    shot.stringId = s.Int(0);
    if (!s.IsNull(1)) shot.number = static_cast<int>(s.Int(1));
    shot.timeUtc = s.Text(2);
    shot.kind = KindFromText(s.Text(3));
    shot.muzzleVelocity = OptionalReal(s, 4);
    shot.averageVelocity = OptionalReal(s, 5);
    shot.energy = OptionalReal(s, 6);
    if (!s.IsNull(7)) shot.samples = static_cast<int>(s.Int(7));
    shot.sampleRate = static_cast<int>(s.Int(8));
    shot.distance = s.Real(9);
    shot.pelletMass = s.Real(10);
    shot.muzzleVolume = static_cast<int>(s.Int(11));
    shot.impactVolume = static_cast<int>(s.Int(12));
    shot.excluded = s.Int(13) != 0;
    shot.excludeReason = s.Text(14);
    if (!s.IsNull(15)) shot.waveform = s.Text(15);
    if (!s.IsNull(16)) shot.method = s.Text(16);
    shot.muzzleOnset = OptionalReal(s, 17);
    shot.impactOnset = OptionalReal(s, 18);
    shot.timingSd = OptionalReal(s, 19);
    return shot;
}

}  // namespace librarysql

std::optional<sql::Error> ShotLibrary::InsertShot(const StoredShot& shot)
{
    sql::Statement& s = Prepared(kInsertShot);
    s.Bind(1, shot.stringId);
    shot.number ? s.Bind(2, std::int64_t{*shot.number}) : s.BindNull(2);
    s.Bind(3, shot.timeUtc).Bind(4, std::string_view(KindText(shot.kind)));
    BindOptional(s, 5, shot.muzzleVelocity);
    BindOptional(s, 6, shot.averageVelocity);
    BindOptional(s, 7, shot.energy);
    shot.samples ? s.Bind(8, std::int64_t{*shot.samples}) : s.BindNull(8);
    s.Bind(9, std::int64_t{shot.sampleRate}).Bind(10, shot.distance).Bind(11, shot.pelletMass);
    s.Bind(12, std::int64_t{shot.muzzleVolume}).Bind(13, std::int64_t{shot.impactVolume});
    s.Bind(14, std::int64_t{shot.excluded ? 1 : 0}).Bind(15, shot.excludeReason).Bind(16, shot.waveform);
    s.Bind(17, shot.method);
    BindOptional(s, 18, shot.muzzleOnset);
    BindOptional(s, 19, shot.impactOnset);
    BindOptional(s, 20, shot.timingSd);
    return s.Run();
}

bool ShotLibrary::StringExists(std::int64_t id, std::optional<sql::Error>* error)
{
    sql::Statement& s = Prepared(kStringExists);
    const bool there = s.Bind(1, id).Step(error);
    s.Reset();
    return there;
}

std::int64_t ShotLibrary::NextStringId(std::int64_t wanted, std::optional<sql::Error>* error)
{
    if (!StringExists(wanted, error)) return wanted;
    sql::Statement& s = Prepared(kNextStringId);
    const std::int64_t next = s.Step(error) ? s.Int(0) : wanted + 1;
    s.Reset();
    return std::max(next, wanted + 1);
}

std::optional<sql::Error> ShotLibrary::StringFor(const StringInfo& string, StringIds& ids, std::int64_t* id)
{
    std::optional<sql::Error> error;
    const auto known = ids.find(string.id);
    if (known != ids.end() && StringExists(known->second, &error)) {
        *id = known->second;
        return error;
    }
    // New to the library, or deleted while its shots still came: a string
    // of its own under an id nobody holds (a deleted one's id stays free for
    // its Undo).
    *id = known == ids.end() ? NextStringId(string.id, &error) : NextStringId(known->second + 1, &error);
    if (error) return error;
    StringInfo made = string;
    made.id = *id;
    if (auto e = BindString(Prepared(kInsertString), made).Run()) return e;
    ids[string.id] = *id;
    return std::nullopt;
}

std::optional<sql::Error> ShotLibrary::AddShot(const StringInfo& string, const StoredShot& shot, StringIds* ids)
{
    return Write([&]() -> std::optional<sql::Error> {
        StoredShot stored = shot;
        if (ids == nullptr) {
            if (auto e = BindString(Prepared(kAddString), string).Run()) return e;
        } else if (auto e = StringFor(string, *ids, &stored.stringId)) {
            return e;
        }
        return InsertShot(stored);
    });
}

std::optional<sql::Error> ShotLibrary::UpdateString(const StringInfo& info, StringIds* ids)
{
    return Write([&]() -> std::optional<sql::Error> {
        StringInfo stored = info;
        if (ids != nullptr) {
            if (auto e = StringFor(info, *ids, &stored.id)) return e;
        }
        return BindString(Prepared(kUpdateString), stored).Run();
    });
}

std::optional<sql::Error> ShotLibrary::SetExcluded(std::int64_t stringId, int number, bool excluded,
                                                   const std::string& reason)
{
    return Write([&] {
        sql::Statement& s = Prepared("UPDATE shots SET excluded = ?, exclude_reason = ? WHERE string_id = ? AND "
                                     "number = ? AND kind = 'shot'");
        s.Bind(1, std::int64_t{excluded ? 1 : 0}).Bind(2, excluded ? reason : std::string()).Bind(3, stringId);
        s.Bind(4, std::int64_t{number});
        return s.Run();
    });
}

std::optional<sql::Error> ShotLibrary::SetWaveform(std::int64_t stringId, int number, const std::string& path)
{
    return Write([&] {
        sql::Statement& s = Prepared("UPDATE shots SET waveform = ? WHERE string_id = ? AND number = ? AND kind = 'shot'");
        return s.Bind(1, path).Bind(2, stringId).Bind(3, std::int64_t{number}).Run();
    });
}

sql::Result<std::vector<StringRow>> ShotLibrary::Strings()
{
    sql::Result<std::vector<StringRow>> result;
    if (!db_.IsOpen()) return {{}, sql::Error{SQLITE_MISUSE, "the shot library is not open"}};
    sql::Statement& s = Prepared("SELECT id, name, gun, pellet, notes, started_utc FROM strings ORDER BY started_utc DESC, id DESC");
    while (s.Step(&result.error)) result.value.push_back({ReadString(s), {}, 0, 0});
    s.Reset();
    RowFigures figures(result.value);
    sql::Statement& shots = Prepared("SELECT string_id, muzzle_velocity, pellet_mass, excluded FROM shots "
                                     "WHERE kind = 'shot' ORDER BY string_id, id");
    while (!result.error && shots.Step(&result.error)) {
        figures.Add(shots.Int(0), shots.Real(1), shots.Real(2), shots.Int(3) != 0);
    }
    shots.Reset();
    figures.Finish();
    return result;
}

sql::Result<std::vector<StoredShot>> ShotLibrary::Shots(std::int64_t stringId)
{
    sql::Result<std::vector<StoredShot>> result;
    if (!db_.IsOpen()) return {{}, sql::Error{SQLITE_MISUSE, "the shot library is not open"}};
    sql::Statement& s = Prepared(kShotsOfString);
    s.Bind(1, stringId);
    while (s.Step(&result.error)) result.value.push_back(ReadShot(s));
    s.Reset();
    return result;
}

sql::Result<std::optional<StoredString>> ShotLibrary::Remove(std::int64_t stringId)
{
    sql::Result<std::optional<StoredString>> result;
    // Read and deleted in one transaction: a shot stored into the string
    // meanwhile is either in what Undo brings back or not deleted at all.
    result.error = Write([&]() -> std::optional<sql::Error> {
        std::optional<sql::Error> error;
        sql::Statement& s = Prepared("SELECT id, name, gun, pellet, notes, started_utc FROM strings WHERE id = ?");
        const bool there = s.Bind(1, stringId).Step(&error);
        StoredString removed;
        if (there) removed.info = ReadString(s);
        s.Reset();
        if (error || !there) return error;
        auto shots = Shots(stringId);
        if (shots.error) return shots.error;
        removed.shots = std::move(shots.value);
        if (auto e = Prepared("DELETE FROM shots WHERE string_id = ?").Bind(1, stringId).Run()) return e;
        if (auto e = Prepared("DELETE FROM strings WHERE id = ?").Bind(1, stringId).Run()) return e;
        result.value = std::move(removed);
        return std::nullopt;
    });
    if (result.error) result.value.reset();
    return result;
}

sql::Result<std::int64_t> ShotLibrary::Restore(const StoredString& removed)
{
    sql::Result<std::int64_t> result;
    result.error = Write([&]() -> std::optional<sql::Error> {
        std::optional<sql::Error> error;
        StringInfo info = removed.info;
        info.id = NextStringId(info.id, &error);
        if (error) return error;
        if (auto e = BindString(Prepared(kInsertString), info).Run()) return e;
        for (StoredShot shot : removed.shots) {
            shot.stringId = info.id;
            if (auto e = InsertShot(shot)) return e;
        }
        result.value = info.id;
        return std::nullopt;
    });
    return result;
}

sql::Result<int> ShotLibrary::Import(const std::vector<StoredString>& strings, LibraryProgress* progress)
{
    sql::Result<int> result;
    result.error = Write([&]() -> std::optional<sql::Error> {
        // The file holds the average to five decimals: what was stored live
        // and later imported is the same shot.
        sql::Statement& known = Prepared(kKnownShot);
        for (const StoredString& s : strings) {
            if (auto e = BindString(Prepared(kAddString), s.info).Run()) return e;
            for (const StoredShot& shot : s.shots) {
                if (progress != nullptr && progress->cancel) return sql::Error{SQLITE_INTERRUPT, "cancelled"};
                std::optional<sql::Error> error;
                const bool there = known.Bind(1, shot.timeUtc).Bind(2, shot.averageVelocity.value_or(0)).Step(&error);
                known.Reset();
                if (error) return error;
                if (progress != nullptr) ++progress->done;
                if (there) continue;
                if (auto e = InsertShot(shot)) return e;
                ++result.value;
            }
        }
        return std::nullopt;
    });
    if (result.error) result.value = 0;
    return result;
}

}  // namespace quorvel

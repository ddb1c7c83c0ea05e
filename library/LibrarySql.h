// The library's SQL and the row shapes it reads and writes, shared by the
// two halves of ShotLibrary (opening and migrating; the rows). Nothing
// outside library/ includes it.
#pragma once

#include "ShotLibrary.h"

namespace quorvel::librarysql {

// The schema of a new file. Older files reach it by the numbered steps of
// kMigrations, one version at a time.
inline constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS strings(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL DEFAULT '', gun TEXT NOT NULL DEFAULT '',
  pellet TEXT NOT NULL DEFAULT '', notes TEXT NOT NULL DEFAULT '', started_utc TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS shots(
  id INTEGER PRIMARY KEY, string_id INTEGER NOT NULL, number INTEGER, time_utc TEXT NOT NULL,
  kind TEXT NOT NULL, muzzle_velocity REAL, average_velocity REAL, energy REAL, samples INTEGER,
  sample_rate INTEGER NOT NULL, distance REAL, pellet_mass REAL, muzzle_volume INTEGER, impact_volume INTEGER,
  excluded INTEGER NOT NULL DEFAULT 0, exclude_reason TEXT NOT NULL DEFAULT '', waveform TEXT,
  method TEXT, muzzle_onset REAL, impact_onset REAL, timing_sd REAL);
CREATE INDEX IF NOT EXISTS shots_by_string ON shots(string_id, id);
)";

struct Migration {
    int to;  // the version this step makes
    const char* sql;
};
inline constexpr Migration kMigrations[] = {
    // Version 1 had neither the string's gun, pellet and notes nor exclusion and waveforms.
    {2, R"(
ALTER TABLE strings ADD COLUMN gun TEXT NOT NULL DEFAULT '';
ALTER TABLE strings ADD COLUMN pellet TEXT NOT NULL DEFAULT '';
ALTER TABLE strings ADD COLUMN notes TEXT NOT NULL DEFAULT '';
ALTER TABLE shots ADD COLUMN excluded INTEGER NOT NULL DEFAULT 0;
ALTER TABLE shots ADD COLUMN exclude_reason TEXT NOT NULL DEFAULT '';
ALTER TABLE shots ADD COLUMN waveform TEXT;
CREATE INDEX IF NOT EXISTS shots_by_string ON shots(string_id, id);
)"},
    // Version 2 did not say how a shot was timed.
    {3, R"(
ALTER TABLE shots ADD COLUMN method TEXT;
ALTER TABLE shots ADD COLUMN muzzle_onset REAL;
ALTER TABLE shots ADD COLUMN impact_onset REAL;
ALTER TABLE shots ADD COLUMN timing_sd REAL;
)"},
};
// An import asks for each shot whether it is there already, by its time.
inline constexpr const char* kTimeIndex = "CREATE INDEX IF NOT EXISTS shots_by_time ON shots(time_utc)";

// A string's shots in the column order ReadShot reads.
inline constexpr const char* kShotsOfString =
    "SELECT string_id, number, time_utc, kind, muzzle_velocity, average_velocity, energy, samples, sample_rate, "
    "distance, pellet_mass, muzzle_volume, impact_volume, excluded, exclude_reason, waveform, method, muzzle_onset, "
    "impact_onset, timing_sd FROM shots WHERE string_id = ? ORDER BY id";
inline constexpr const char* kStringColumns = "id, name, gun, pellet, notes, started_utc";

inline constexpr const char* kInsertString =
    "INSERT INTO strings(id, name, gun, pellet, notes, started_utc) VALUES(?, ?, ?, ?, ?, ?)";
// A string written with its first shot; one already there keeps its details.
inline constexpr const char* kAddString =
    "INSERT OR IGNORE INTO strings(id, name, gun, pellet, notes, started_utc) VALUES(?, ?, ?, ?, ?, ?)";
inline constexpr const char* kUpdateString =
    "INSERT INTO strings(id, name, gun, pellet, notes, started_utc) VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(id) DO "
    "UPDATE SET name = excluded.name, gun = excluded.gun, pellet = excluded.pellet, notes = excluded.notes";
inline constexpr const char* kInsertShot =
    "INSERT INTO shots(string_id, number, time_utc, kind, muzzle_velocity, average_velocity, energy, samples, "
    "sample_rate, distance, pellet_mass, muzzle_volume, impact_volume, excluded, exclude_reason, waveform, method, "
    "muzzle_onset, impact_onset, timing_sd) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kStringExists = "SELECT 1 FROM strings WHERE id = ?";
inline constexpr const char* kNextStringId = "SELECT max(id) + 1 FROM strings";
inline constexpr const char* kKnownShot =
    "SELECT 1 FROM shots WHERE time_utc = ? AND abs(average_velocity - ?) < 1e-4 LIMIT 1";

sql::Statement& BindString(sql::Statement& s, const StringInfo& info);
StringInfo ReadString(const sql::Statement& s);
StoredShot ReadShot(const sql::Statement& s);
bool IsBusy(int code);
bool IsDamage(int code);

}  // namespace quorvel::librarysql

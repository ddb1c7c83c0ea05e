// What the library window's buttons do; the window's layout and reading are
// in LibraryWindow.cpp.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QBuffer>

#include "IniFile.h"
#include "LibraryCsv.h"
#include "LibraryReport.h"
#include "LibraryWindow.h"
#include "ShotDataImport.h"
#include "StringDetailsDialog.h"

namespace quorvel {

namespace {

constexpr const char* kTitle = "Shot library";
// A shot data file holds about 40 bytes a shot; this is far beyond any.
constexpr std::uintmax_t kLargestShotDataFile = 64u << 20;

std::string Shots(std::size_t n) { return std::to_string(n) + (n == 1 ? " shot" : " shots"); }

// " Line 7 was no shot line and was left out." / " 3 lines (4, 9 and 12) were …"
std::string LeftOutText(const std::vector<int>& lines, const std::string& one, const std::string& many)
{
    if (lines.empty()) return {};
    if (lines.size() == 1) return " Line " + std::to_string(lines[0]) + " was " + one + " and was left out.";
    std::string numbers;
    const std::size_t shown = std::min<std::size_t>(lines.size(), 5);
    for (std::size_t i = 0; i < shown; ++i) {
        numbers += (i == 0 ? "" : i + 1 == lines.size() ? " and " : ", ") + std::to_string(lines[i]);
    }
    if (shown < lines.size()) numbers += " and " + std::to_string(lines.size() - shown) + " more";
    return " " + std::to_string(lines.size()) + " lines (" + numbers + ") were " + many + " and were left out.";
}

}  // namespace

void LibraryWindow::EditDetails()
{
    const std::vector<std::int64_t> ids = SelectedIds();
    if (ids.size() != 1) return;
    auto* dialog = new StringDetailsDialog(model_.Row(model_.Find(ids[0])).info, this);
    connect(dialog, &StringDetailsDialog::accepted, this, [this, dialog] {
        const StringInfo info = dialog->Details();
        if (auto e = library_.UpdateString(info)) {
            dialogs_.Critical(kTitle, "Cannot change the string's details in " + path_ + ": " + e->message);
        }
        emit detailsChanged(info);
        Reload();
    });
    dialog->open();
}

void LibraryWindow::ToggleExcluded()
{
    const int row = tblShots.currentRow();
    const std::vector<std::int64_t> ids = SelectedIds();
    if (ids.size() != 1 || row < 0 || row >= static_cast<int>(shownShots_.size())) return;
    const StoredShot& shot = shownShots_[static_cast<std::size_t>(row)];
    if (shot.kind != ShotKind::Shot || !shot.number) return;
    if (auto e = library_.SetExcluded(ids[0], *shot.number, !shot.excluded, txtReason.text().trimmed().toStdString())) {
        dialogs_.Critical(kTitle, "Cannot change the shot in " + path_ + ": " + e->message);
        return;
    }
    txtReason.clear();
    Reload();
}

void LibraryWindow::DeleteStrings()
{
    const std::vector<StoredString> strings = Selected();
    if (strings.empty()) return;
    std::size_t shots = 0;
    for (const StoredString& s : strings) shots += s.shots.size();
    const std::string what = strings.size() == 1 ? "the string \"" + strings[0].info.name + "\""
                                                 : std::to_string(strings.size()) + " strings";
    if (!dialogs_.Question("Delete strings", "Delete " + what + " with " + Shots(shots) +
                                                 " from the library? Undo brings them back until the library "
                                                 "window is closed.")) {
        return;
    }
    for (const StoredString& s : strings) {
        if (auto removed = library_.Remove(s.info.id)) {
            deleted_.push_back(std::move(*removed));
        } else {
            dialogs_.Critical(kTitle, "Cannot delete \"" + s.info.name + "\" from " + path_ + ".");
        }
    }
    cmdUndo.setEnabled(!deleted_.empty());
    Reload();
}

void LibraryWindow::UndoDelete()
{
    if (deleted_.empty()) return;
    if (auto e = library_.Restore(deleted_.back())) {
        dialogs_.Critical(kTitle, "Cannot bring \"" + deleted_.back().info.name + "\" back: " + e->message);
        return;
    }
    const std::int64_t id = deleted_.back().info.id;
    deleted_.pop_back();
    cmdUndo.setEnabled(!deleted_.empty());
    model_.SetRows(library_.Strings(), units_);
    SelectStrings({id});
}

void LibraryWindow::ExportCsv()
{
    const std::vector<StoredString> strings = Selected();
    if (strings.empty()) return;
    const std::string path = fileDialogs_.SaveFileName("Export CSV", "strings.csv", "CSV files (*.csv);;All files (*)");
    if (path.empty()) return;
    const std::string failure = WriteFileAtomically(path, StringsCsv(strings, units_));
    if (!failure.empty()) dialogs_.Critical(kTitle, "Cannot export the strings: " + failure);
}

void LibraryWindow::SaveReport()
{
    const std::vector<StoredString> strings = Selected();
    if (strings.empty()) return;
    const std::string path = fileDialogs_.SaveFileName("PDF report", "report.pdf", "PDF files (*.pdf);;All files (*)");
    if (path.empty()) return;
    const std::string failure = WriteLibraryReport(path, strings, units_, PlateauLimit());
    if (!failure.empty()) dialogs_.Critical(kTitle, "Cannot write the report: " + failure);
}

void LibraryWindow::SaveChart()
{
    if (picStrings.Series().empty()) return;
    const std::string path = fileDialogs_.SaveFileName("Save chart", "chart.png", "PNG images (*.png);;All files (*)");
    if (path.empty()) return;
    QStringList names, figures;
    for (const ChartSeries& s : picStrings.Series()) {
        names << s.name;
        figures << s.name + ": " + QString::fromStdString(StatisticsText(s.figures, units_));
    }
    const QImage image = picStrings.Image(QSize(1000, 600), names.join(" / "), figures);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const std::string failure =
        WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!failure.empty()) dialogs_.Critical(kTitle, "Cannot save the chart: " + failure);
}

void LibraryWindow::ImportShotData()
{
    const std::string path = fileDialogs_.OpenFileName("Shot data files (*.txt);;All files (*)");
    if (path.empty()) return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) > kLargestShotDataFile) {
        dialogs_.Critical(kTitle, "Cannot import " + path + ": it is no shot data file.");
        return;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) {
        dialogs_.Critical(kTitle, "Cannot read " + path + ".");
        return;
    }
    const ImportedFile file = ReadShotDataFile(text.str(), settings_);
    int added = 0;
    if (auto e = library_.Import(file.strings, &added)) {
        dialogs_.Critical(kTitle, "Cannot import into " + path_ + ": " + e->message + ". Nothing was imported.");
        return;
    }
    std::string report = "Imported " + Shots(static_cast<std::size_t>(added)) + " from " + path + " in " +
                         std::to_string(file.strings.size()) + (file.strings.size() == 1 ? " string" : " strings") +
                         " (one per day).";
    if (added < file.shots) report += " " + Shots(static_cast<std::size_t>(file.shots - added)) + " were already there.";
    report += LeftOutText(file.unreadLines, "no shot line", "no shot lines");
    report += LeftOutText(file.impossibleLines, "a shot no air gun fires (a velocity, distance or mass out of reach)",
                          "shots no air gun fires (velocities, distances or masses out of reach)");
    dialogs_.Information(kTitle, report);
    Reload();
}

}  // namespace quorvel

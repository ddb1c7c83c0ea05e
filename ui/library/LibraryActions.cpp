// What the library window's buttons do; the window's layout and reading are
// in LibraryWindow.cpp.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QBuffer>
#include <QProgressDialog>
#include <QTimer>

#include "IniFile.h"
#include "LibraryCsv.h"
#include "LibraryReport.h"
#include "LibraryWindow.h"
#include "ImportJob.h"
#include "StringDetailsDialog.h"

namespace quorvel {

namespace {

constexpr const char* kTitle = "Shot library";

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
    if (shot.kind != ShotOutcome::Shot || !shot.number) return;
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
    std::vector<std::int64_t> gone;
    for (const StoredString& s : strings) {
        auto removed = library_.Remove(s.info.id);
        if (removed.error) {
            dialogs_.Critical(kTitle, "Cannot delete \"" + s.info.name + "\" from " + path_ + ": " + removed.error->message + ".");
        } else if (removed.value) {
            gone.push_back(s.info.id);
            deleted_.push_back(std::move(*removed.value));
        }
    }
    cmdUndo.setEnabled(!deleted_.empty());
    Reload();
    if (!gone.empty()) emit stringsDeleted(gone);
}

void LibraryWindow::UndoDelete()
{
    if (deleted_.empty()) return;
    const auto restored = library_.Restore(deleted_.back());
    if (restored.error) {
        dialogs_.Critical(kTitle, "Cannot bring \"" + deleted_.back().info.name + "\" back: " + restored.error->message);
        return;
    }
    deleted_.pop_back();
    cmdUndo.setEnabled(!deleted_.empty());
    Reload();
    SelectStrings({restored.value});
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
    if (import_) return;
    const std::string path = fileDialogs_.OpenFileName("Shot data files (*.txt);;All files (*)", shotDataPath_);
    if (path.empty()) return;
    if (const std::string problem = ShotDataFileProblem(path); !problem.empty()) {
        dialogs_.Critical(kTitle, "Cannot import " + path + ": " + problem + ".");
        return;
    }
    importing_ = path;
    import_ = std::make_unique<ImportJob>(path_, path, settings_);
    auto* progress = new QProgressDialog(QString::fromStdString("Importing " + path + " …"), "Cancel", 0, 0, this);
    progress->setObjectName("dlgImport");
    progress->setWindowTitle(kTitle);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress, &QProgressDialog::canceled, this, [this] {
        if (import_) import_->Cancel();
    });
    auto* poll = new QTimer(progress);
    connect(poll, &QTimer::timeout, this, [this, progress] {
        if (!import_) return;
        progress->setMaximum(std::max(import_->Total(), 1));
        progress->setValue(std::min(import_->Looked(), progress->maximum() - 1));
        if (import_->Done()) {
            progress->close();
            ImportFinished();
        }
    });
    poll->start(50);
}

void LibraryWindow::ImportFinished()
{
    const std::unique_ptr<ImportJob> job = std::move(import_);
    const ImportOutcome& done = job->Outcome();
    if (!done.problem.empty()) {
        dialogs_.Critical(kTitle, done.problem);
        return;
    }
    const ImportedFile& file = done.file;
    if (done.cancelled) {
        dialogs_.Information(kTitle, "The import of " + importing_ + " was cancelled; nothing was imported.");
        return;
    }
    std::string report = "Imported " + Shots(static_cast<std::size_t>(done.added)) + " from " + importing_ + " in " +
                         std::to_string(file.strings.size()) + (file.strings.size() == 1 ? " string" : " strings") +
                         " (one per day).";
    if (done.added < file.shots) report += " " + Shots(static_cast<std::size_t>(file.shots - done.added)) + " were already there.";
    report += LeftOutText(file.unreadLines, "no shot line", "no shot lines");
    report += LeftOutText(file.impossibleLines, "a shot no air gun fires (a velocity, distance or mass out of reach)",
                          "shots no air gun fires (velocities, distances or masses out of reach)");
    dialogs_.Information(kTitle, report);
    Reload();
}

}  // namespace quorvel

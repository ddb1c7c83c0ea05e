// frmLibrary: every stored string, newest first, sortable and filterable;
// the selected string's shots and chart; several strings overlaid and
// compared with confidence intervals and tests in words; flyers set aside
// and taken back; strings deleted (with Undo while the window is open),
// exported as CSV, reported as PDF, the chart saved as PNG, and the old shot
// data file imported. It reads and writes the library through a connection
// of its own; the recorder's writer goes on storing meanwhile.
#pragma once

#include <memory>
#include <vector>

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>

#include "Dialogs.h"
#include "FileDialogs.h"
#include "ImportJob.h"
#include "ShotLibrary.h"
#include "StringChart.h"
#include "StringsModel.h"
#include "Settings.h"

namespace quorvel {

class LibraryWindow final : public QWidget {
    Q_OBJECT
public:
    LibraryWindow(std::string path, Dialogs& dialogs, FileDialogs& fileDialogs);

    // The units shown, and what an import takes the shot data file to hold.
    void SetSettings(const Settings& settings);
    // Reads the library again, keeping the selection.
    void Reload();
    void SelectStrings(const std::vector<std::int64_t>& ids);
    std::vector<std::int64_t> SelectedIds() const;

    // The buttons' work.
    void EditDetails();
    void ToggleExcluded();
    void DeleteStrings();
    void UndoDelete();
    void ExportCsv();
    void SaveReport();
    void SaveChart();
    void ImportShotData();

    const StringChart& Chart() const { return picStrings; }
    QString StatisticsHtml() const { return txtStatistics.toHtml(); }
    QString StatisticsShown() const { return txtStatistics.toPlainText(); }
    bool IsOpen() const { return library_.IsOpen(); }

    // Where the file dialog of Import opens: the shot data file the autosave writes.
    void SetShotDataPath(const std::string& path) { shotDataPath_ = path; }
    bool Importing() const { return import_ != nullptr; }

signals:
    // A string's details were changed here (it may be the one under way).
    void detailsChanged(const quorvel::StringInfo& info);
    // Strings were deleted (one may be the one under way).
    void stringsDeleted(const std::vector<std::int64_t>& ids);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    void BuildTables();
    void BuildButtons();
    void LayOut();
    void SelectionChanged();
    void ShowShots(const std::vector<StoredShot>& shots, const StringFigures& f);
    void ShowExcludeCaption();
    void ImportFinished();
    void ShowComparison(const std::vector<StoredString>& strings, const std::vector<StringFigures>& figures);
    std::vector<StoredString> Selected();
    ShownUnits Units() const { return units_; }
    double PlateauLimit() const;

    std::string path_;
    Dialogs& dialogs_;
    FileDialogs& fileDialogs_;
    Settings settings_;
    ShotLibrary library_;
    ShownUnits units_;
    std::vector<StoredString> deleted_;  // newest last, for Undo until the window closes
    std::vector<StoredShot> shownShots_;  // of the one string selected
    std::string shotDataPath_;
    std::unique_ptr<ImportJob> import_;
    std::string importing_;

    StringsModel model_;
    QSortFilterProxyModel sorted_;
    QLineEdit txtFilter;
    QDoubleSpinBox txtPlateau;
    QTableView tblStrings;
    QTableWidget tblShots;
    StringChart picStrings;
    QTextBrowser txtStatistics;
    QLineEdit txtReason;
    QPushButton cmdExclude;
    QPushButton cmdDetails;
    QPushButton cmdDelete;
    QPushButton cmdUndo;
    QPushButton cmdCsv;
    QPushButton cmdReport;
    QPushButton cmdChart;
    QPushButton cmdImport;
    QLabel lblStatus;
    // The window follows the file: shots stored meanwhile, by this program
    // or another, show within a second.
    QTimer followTimer_;
    std::int64_t seenVersion_ = -1;
};

}  // namespace quorvel

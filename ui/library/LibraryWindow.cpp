#include "LibraryWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QVBoxLayout>

#include "NumberText.h"
#include "UtcTime.h"

namespace quorvel {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString Escaped(const std::string& s) { return Q(s).toHtmlEscaped(); }

}  // namespace

LibraryWindow::LibraryWindow(std::string path, Dialogs& dialogs, FileDialogs& fileDialogs)
    : path_(std::move(path)), dialogs_(dialogs), fileDialogs_(fileDialogs)
{
    setObjectName("frmLibrary");
    setWindowTitle("Quorvel - Shot library");
    BuildControls();
    followTimer_.setObjectName("followTimer");
    followTimer_.setInterval(1000);
    connect(&followTimer_, &QTimer::timeout, this, [this] {
        if (library_.DataVersion() != seenVersion_) Reload();
    });
    // The recorder's writer checked every page at start.
    const ShotLibrary::Opened opened = library_.Open(path_, false);
    if (!opened.message.empty()) lblStatus.setText(Q(opened.message));
    // As designed where the screen has room, never beyond what it shows.
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect();
    resize(screen.isEmpty() ? QSize(1100, 760) : QSize(1100, 760).boundedTo(screen.size() - QSize(40, 80)));
}

void LibraryWindow::BuildControls()
{
    BuildTables();
    BuildButtons();
    LayOut();
}

void LibraryWindow::BuildTables()
{
    sorted_.setSourceModel(&model_);
    sorted_.setSortRole(StringsModel::kSortRole);
    sorted_.setFilterKeyColumn(-1);
    sorted_.setFilterCaseSensitivity(Qt::CaseInsensitive);
    tblStrings.setObjectName("tblStrings");
    tblStrings.setModel(&sorted_);
    tblStrings.setSortingEnabled(true);
    tblStrings.sortByColumn(StringsModel::Date, Qt::DescendingOrder);
    tblStrings.setSelectionBehavior(QAbstractItemView::SelectRows);
    tblStrings.setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblStrings.verticalHeader()->hide();
    tblStrings.setWordWrap(false);
    // Room to spare goes to the names, not to the last column of figures.
    tblStrings.horizontalHeader()->setSectionResizeMode(StringsModel::Name, QHeaderView::Stretch);
    // Fixed widths: measuring 2000 rows to fit them would cost the opening its speed.
    const QFontMetrics fm(font());
    const int digits = fm.horizontalAdvance("0000.00") + 16;
    const int widths[] = {fm.horizontalAdvance("2026-12-06 22:04:05") + 12, fm.horizontalAdvance("x") * 24,
                          fm.horizontalAdvance("x") * 14, fm.horizontalAdvance("x") * 25, digits};
    for (int c = 0; c < StringsModel::Columns; ++c) {
        const int header = fm.horizontalAdvance(model_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 24;
        tblStrings.setColumnWidth(c, std::max(header, c < 5 ? widths[c] : digits));
    }
    connect(tblStrings.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { SelectionChanged(); });
    connect(&tblStrings, &QTableView::doubleClicked, this, [this] { EditDetails(); });

    txtFilter.setObjectName("txtFilter");
    txtFilter.setPlaceholderText("Filter by date, name, gun or pellet");
    txtFilter.setClearButtonEnabled(true);
    connect(&txtFilter, &QLineEdit::textChanged, this, [this](const QString& t) { sorted_.setFilterFixedString(t); });
    txtPlateau.setObjectName("txtPlateau");
    txtPlateau.setDecimals(1);
    txtPlateau.setRange(0.1, 1000);
    txtPlateau.setToolTip("The plateau is the longest run of counted shots whose spread stays within this");
    connect(&txtPlateau, &QDoubleSpinBox::valueChanged, this, [this] { SelectionChanged(); });

    tblShots.setObjectName("tblShots");
    tblShots.setColumnCount(6);
    tblShots.setHorizontalHeaderLabels({"Shot", "Time", "Velocity", "Energy", "Excluded", "Reason"});
    tblShots.setSelectionBehavior(QAbstractItemView::SelectRows);
    tblShots.setSelectionMode(QAbstractItemView::SingleSelection);
    tblShots.setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblShots.verticalHeader()->hide();
    tblShots.horizontalHeader()->setStretchLastSection(true);
    connect(&tblShots, &QTableWidget::itemSelectionChanged, this, [this] { ShowExcludeCaption(); });
    txtStatistics.setObjectName("txtStatistics");
    txtStatistics.setOpenLinks(false);
    txtReason.setObjectName("txtReason");
    txtReason.setPlaceholderText("Reason (optional)");
}

void LibraryWindow::BuildButtons()
{
    const std::pair<QPushButton*, const char*> buttons[] = {
        {&cmdExclude, "cmdExclude"}, {&cmdDetails, "cmdDetails"}, {&cmdDelete, "cmdDelete"}, {&cmdUndo, "cmdUndo"},
        {&cmdCsv, "cmdCsv"},         {&cmdReport, "cmdReport"},   {&cmdChart, "cmdChart"},   {&cmdImport, "cmdImport"}};
    for (const auto& [button, name] : buttons) button->setObjectName(name);
    cmdExclude.setText("E&xclude shot");
    cmdDetails.setText("&Details…");
    cmdDelete.setText("De&lete…");
    cmdUndo.setText("&Undo delete");
    cmdUndo.setEnabled(false);
    cmdCsv.setText("Export &CSV…");
    cmdReport.setText("PDF &report…");
    cmdChart.setText("Save c&hart…");
    cmdImport.setText("&Import shot data file…");
    connect(&cmdExclude, &QPushButton::clicked, this, &LibraryWindow::ToggleExcluded);
    connect(&cmdDetails, &QPushButton::clicked, this, &LibraryWindow::EditDetails);
    connect(&cmdDelete, &QPushButton::clicked, this, &LibraryWindow::DeleteStrings);
    connect(&cmdUndo, &QPushButton::clicked, this, &LibraryWindow::UndoDelete);
    connect(&cmdCsv, &QPushButton::clicked, this, &LibraryWindow::ExportCsv);
    connect(&cmdReport, &QPushButton::clicked, this, &LibraryWindow::SaveReport);
    connect(&cmdChart, &QPushButton::clicked, this, &LibraryWindow::SaveChart);
    connect(&cmdImport, &QPushButton::clicked, this, &LibraryWindow::ImportShotData);
    lblStatus.setObjectName("lblStatus");
    lblStatus.setWordWrap(true);
}

void LibraryWindow::LayOut()
{
    auto* top = new QHBoxLayout;
    auto* filterLabel = new QLabel("&Filter:");
    filterLabel->setBuddy(&txtFilter);
    auto* plateauLabel = new QLabel("&Plateau within:");
    plateauLabel->setBuddy(&txtPlateau);
    top->addWidget(filterLabel);
    top->addWidget(&txtFilter, 2);
    top->addWidget(plateauLabel);
    top->addWidget(&txtPlateau);
    top->addWidget(&cmdImport);

    // The flyer controls stand under the shots they act on.
    auto* shots = new QWidget;
    auto* shotColumn = new QVBoxLayout(shots);
    shotColumn->setContentsMargins(0, 0, 0, 0);
    shotColumn->addWidget(&tblShots, 1);
    auto* flyer = new QHBoxLayout;
    flyer->addWidget(&txtReason, 1);
    flyer->addWidget(&cmdExclude);
    shotColumn->addLayout(flyer);
    auto* middle = new QSplitter(Qt::Horizontal);
    middle->addWidget(shots);
    middle->addWidget(&picStrings);
    middle->setStretchFactor(1, 2);
    // Every column of the shots in view: number, time, velocity, energy, excluded, reason.
    const QFontMetrics fm(font());
    const int shotColumns = fm.horizontalAdvance(" 0000  2026-12-06 22:04:05  0000.00  000.00  Excluded  dirty pellet ") + 60;
    middle->setSizes({shotColumns, std::max(shotColumns, 600)});
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(&tblStrings);
    split->addWidget(middle);
    split->addWidget(&txtStatistics);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 4);
    split->setStretchFactor(2, 2);

    auto* stringRow = new QHBoxLayout;
    for (QPushButton* b : {&cmdDetails, &cmdDelete, &cmdUndo}) stringRow->addWidget(b);
    stringRow->addStretch(1);
    for (QPushButton* b : {&cmdCsv, &cmdReport, &cmdChart}) stringRow->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(stringRow);
    layout->addWidget(&lblStatus);
}

void LibraryWindow::SetSettings(const Settings& settings)
{
    const bool changed = settings.units != units_.system;
    settings_ = settings;
    units_.system = settings.units;
    txtPlateau.setSuffix(" " + Q(units_.SpeedUnit()));
    if (changed || txtPlateau.property("set").isNull()) {
        const QSignalBlocker quiet(txtPlateau);
        txtPlateau.setValue(units_.DefaultPlateauLimit());
        txtPlateau.setProperty("set", true);
    }
}

double LibraryWindow::PlateauLimit() const { return txtPlateau.value(); }

void LibraryWindow::Reload()
{
    const std::vector<std::int64_t> selected = SelectedIds();
    seenVersion_ = library_.DataVersion();
    auto rows = library_.Strings();
    if (rows.error) {
        lblStatus.setText(Q("Cannot read the shot library " + path_ + ": " + rows.error->message));
        return;
    }
    model_.SetRows(std::move(rows.value), units_);
    SelectStrings(selected);
    SelectionChanged();
}

void LibraryWindow::SelectStrings(const std::vector<std::int64_t>& ids)
{
    QItemSelection selection;
    for (std::int64_t id : ids) {
        const int row = model_.Find(id);
        if (row < 0) continue;
        const QModelIndex at = sorted_.mapFromSource(model_.index(row, 0));
        selection.select(at, at.siblingAtColumn(StringsModel::Columns - 1));
    }
    tblStrings.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::vector<std::int64_t> LibraryWindow::SelectedIds() const
{
    std::vector<std::int64_t> ids;
    for (const QModelIndex& index : tblStrings.selectionModel()->selectedRows()) {
        ids.push_back(model_.Row(sorted_.mapToSource(index).row()).info.id);
    }
    // In the order shown, so "A" and "B" of a comparison read top to bottom.
    std::sort(ids.begin(), ids.end(), [this](std::int64_t a, std::int64_t b) {
        return sorted_.mapFromSource(model_.index(model_.Find(a), 0)).row() <
               sorted_.mapFromSource(model_.index(model_.Find(b), 0)).row();
    });
    return ids;
}

std::vector<StoredString> LibraryWindow::Selected()
{
    std::vector<StoredString> strings;
    for (std::int64_t id : SelectedIds()) {
        auto shots = library_.Shots(id);
        if (shots.error) lblStatus.setText(Q("Cannot read the shot library " + path_ + ": " + shots.error->message));
        strings.push_back({model_.Row(model_.Find(id)).info, std::move(shots.value)});
    }
    return strings;
}

void LibraryWindow::SelectionChanged()
{
    const std::vector<StoredString> strings = Selected();
    std::vector<StringFigures> figures;
    std::vector<ChartSeries> series;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        figures.push_back(FiguresOf(strings[i].shots, units_, PlateauLimit()));
        series.push_back({Q(strings[i].info.name), StringChart::Colour(static_cast<int>(i)), figures.back()});
    }
    picStrings.SetSeries(std::move(series), Q(units_.SpeedUnit()));
    ShowShots(strings.size() == 1 ? strings[0].shots : std::vector<StoredShot>{},
              strings.size() == 1 ? figures[0] : StringFigures{});
    ShowComparison(strings, figures);
    for (QPushButton* b : {&cmdDetails, &cmdExclude}) b->setEnabled(strings.size() == 1);
    for (QPushButton* b : {&cmdDelete, &cmdCsv, &cmdReport, &cmdChart}) b->setEnabled(!strings.empty());
}

void LibraryWindow::ShowShots(const std::vector<StoredShot>& shots, const StringFigures&)
{
    const int keep = tblShots.currentRow();
    shownShots_ = shots;
    tblShots.setRowCount(static_cast<int>(shots.size()));
    for (std::size_t i = 0; i < shots.size(); ++i) {
        const StoredShot& s = shots[i];
        const bool shot = s.kind == ShotOutcome::Shot && s.muzzleVelocity;
        const QString cells[] = {
            s.number ? QString::number(*s.number) : QString(),
            Q(LocalTimeText(s.timeUtc)),
            shot ? Q(FormatPattern(units_.Speed(*s.muzzleVelocity), "0.00")) : Q(KindText(s.kind)),
            shot ? Q(FormatPattern(units_.Energy(*s.muzzleVelocity, s.pelletMass), "0.00")) : QString(),
            s.excluded ? QString("yes") : QString(), s.excluded ? Q(s.excludeReason) : QString()};
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (!shot || s.excluded) item->setForeground(Qt::gray);
            if (c == 2 || c == 3) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblShots.setItem(static_cast<int>(i), c, item);
        }
    }
    tblShots.resizeColumnsToContents();
    if (keep >= 0 && keep < tblShots.rowCount()) tblShots.selectRow(keep);
    ShowExcludeCaption();
}

void LibraryWindow::ShowExcludeCaption()
{
    const int row = tblShots.currentRow();
    const bool excluded =
        row >= 0 && row < static_cast<int>(shownShots_.size()) && shownShots_[static_cast<std::size_t>(row)].excluded;
    cmdExclude.setText(excluded ? "I&nclude shot" : "E&xclude shot");
}

void LibraryWindow::ShowComparison(const std::vector<StoredString>& strings, const std::vector<StringFigures>& figures)
{
    if (strings.empty()) {
        txtStatistics.setHtml(model_.rowCount() == 0 ? "The library holds no strings yet." : "Select one or more strings.");
        return;
    }
    QString html;
    if (strings.size() == 1) {
        const StringInfo& info = strings[0].info;
        html += "<b>" + Escaped(info.name) + "</b>";
        for (const std::string& d : {info.gun, info.pellet}) {
            if (!d.empty()) html += ", " + Escaped(d);
        }
        html += "<br>" + Escaped(quorvel::StatisticsText(figures[0], units_));
        html += "<br>Plateau: " + Escaped(PlateauText(figures[0], units_, PlateauLimit()));
        if (!info.notes.empty()) html += "<br><i>" + Escaped(info.notes).replace("\n", "<br>") + "</i>";
    } else {
        html += "<table cellspacing=0 cellpadding=3 border=1><tr><th></th><th>String</th><th>Shots</th><th>Average "
                "(90 % CI)</th><th>SD (90 % CI)</th><th>ES</th><th>Plateau</th></tr>";
        for (std::size_t i = 0; i < strings.size(); ++i) {
            const StringFigures& f = figures[i];
            const auto v = [&](double x) { return Q(units_.SpeedText(x)); };
            const auto sd = [](double x) { return Q(FormatPattern(x, "0.00")); };
            const QString letter(QChar('A' + static_cast<int>(i % 26)));
            html += "<tr><td><font color='" + StringChart::Colour(static_cast<int>(i)).name() + "'>&#9632;</font> " +
                    letter + "</td><td>" + Escaped(strings[i].info.name) + "</td><td>" + QString::number(f.summary.count) +
                    "</td><td>" + (f.summary.count ? v(f.summary.mean) : "") +
                    (f.meanInterval.known ? " (" + v(f.meanInterval.low) + "–" + v(f.meanInterval.high) + ")" : "") +
                    "</td><td>" + sd(f.summary.sd) +
                    (f.sdInterval.known ? " (" + sd(f.sdInterval.low) + "–" + sd(f.sdInterval.high) + ")" : "") +
                    "</td><td>" + v(f.summary.Es()) + "</td><td>" +
                    Escaped(PlateauText(f, units_, PlateauLimit())) + "</td></tr>";
        }
        html += "</table>";
        if (strings.size() == 2) {
            html += "<p>A against B: " + Escaped(CompareSpreads(figures[0].countedVelocities, figures[1].countedVelocities, "B").words) +
                    "; " + Escaped(CompareMeans(figures[0].summary, figures[1].summary, "B", units_.SpeedUnit()).words) + ".</p>";
        } else {
            html += "<p>Select two strings to test whether their SDs and averages differ.</p>";
        }
    }
    txtStatistics.setHtml(html);
}

void LibraryWindow::showEvent(QShowEvent* event)
{
    followTimer_.start();
    QWidget::showEvent(event);
}

void LibraryWindow::hideEvent(QHideEvent* event)
{
    followTimer_.stop();
    QWidget::hideEvent(event);
}

void LibraryWindow::closeEvent(QCloseEvent* event)
{
    // Undo ends with the window: what was deleted stays deleted.
    deleted_.clear();
    QWidget::closeEvent(event);
}

}  // namespace quorvel

#include "LibraryReport.h"

#include <QBuffer>
#include <QLocale>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include "IniFile.h"
#include "NumberText.h"
#include "StringChart.h"
#include "UtcTime.h"

namespace quorvel {

namespace {

QString E(const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); }

QString ShotTable(const StoredString& s, const ShownUnits& units)
{
    QString html = "<table cellspacing=0 cellpadding=2 border=1 width=100%><tr><th>Shot</th><th>Time</th><th>Velocity " +
                   E(units.SpeedUnit()) + "</th><th>Energy " + E(units.EnergyUnit()) + "</th><th>Excluded</th><th>Reason</th></tr>";
    for (const StoredShot& shot : s.shots) {
        const bool measured = shot.kind == ShotOutcome::Shot && shot.muzzleVelocity;
        html += "<tr><td align=right>" + (shot.number ? QString::number(*shot.number) : QString()) + "</td><td>" +
                E(LocalTimeText(shot.timeUtc)) + "</td><td align=right>" +
                (measured ? E(FormatPattern(units.Speed(*shot.muzzleVelocity), "0.00")) : E(KindText(shot.kind))) +
                "</td><td align=right>" +
                (measured ? E(FormatPattern(units.Energy(*shot.muzzleVelocity, shot.pelletMass), "0.00")) : QString()) +
                "</td><td>" + (shot.excluded ? "yes" : "") + "</td><td>" + (shot.excluded ? E(shot.excludeReason) : QString()) +
                "</td></tr>";
    }
    return html + "</table>";
}

}  // namespace

std::string WriteLibraryReport(const std::string& path, const std::vector<StoredString>& strings,
                               const ShownUnits& units, double plateauLimit)
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    writer.setPageSize(QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setTitle("Quorvel shot strings");
    writer.setCreator("Quorvel");
    writer.setResolution(300);

    QTextDocument doc;
    std::vector<StringFigures> figures;
    QString html = "<h1>Quorvel shot strings</h1>";
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const StoredString& s = strings[i];
        figures.push_back(FiguresOf(s.shots, units, plateauLimit));
        const StringFigures& f = figures.back();
        StringChart chart;
        chart.SetSeries({{QString::fromStdString(s.info.name), StringChart::Colour(0), f}},
                        QString::fromStdString(units.SpeedUnit()));
        const QUrl image(QString("chart%1.png").arg(i));
        doc.addResource(QTextDocument::ImageResource, image, chart.Image(QSize(520, 270)));
        html += QString(i > 0 ? "<h2 style='page-break-before: always'>" : "<h2>") + E(s.info.name) + "</h2><p>";
        html += "Started " + E(LocalTimeText(s.info.startedUtc));
        if (!s.info.gun.empty()) html += "<br>Gun: " + E(s.info.gun);
        if (!s.info.pellet.empty()) html += "<br>Pellet: " + E(s.info.pellet);
        if (!s.info.notes.empty()) html += "<br>Notes: " + E(s.info.notes).replace("\n", "<br>");
        html += "</p><p>" + E(StatisticsText(f, units)) + "<br>Plateau (within " + E(units.SpeedText(plateauLimit)) + " " +
                E(units.SpeedUnit()) + "): " + E(PlateauText(f, units, plateauLimit)) + "</p>";
        html += "<p><img src='" + image.toString() + "' width=520></p>" + ShotTable(s, units);
    }
    if (strings.size() == 2) {
        html += "<h2 style='margin-top: 24px'>" + E(strings[0].info.name) + " against " + E(strings[1].info.name) + "</h2><p>SD: " +
                E(CompareSpreads(figures[0].countedVelocities, figures[1].countedVelocities, strings[1].info.name).words) + "<br>Average: " +
                E(CompareMeans(figures[0].summary, figures[1].summary, strings[1].info.name, units.SpeedUnit()).words) +
                "</p>";
    }
    html += "<p><small>Confidence intervals at 90 %: Student's t for the average, chi-square for the SD. "
            "A p value below 0.05 is some evidence of a difference, below 0.01 strong evidence (Brown-Forsythe test "
            "for SDs, Welch's t test for averages).</small></p>";
    doc.setHtml(html);
    doc.print(&writer);
    pdf.close();
    return WriteFileAtomically(path, std::string_view(pdf.data().constData(), static_cast<std::size_t>(pdf.data().size())));
}

}  // namespace quorvel

#include "AnalysisWindow.h"

#include <cmath>
#include <filesystem>

#include <QCloseEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "NumberText.h"
#include "RecordingMeasure.h"
#include "WaveFile.h"

namespace quorvel {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
constexpr const char* kZoomTip = "Use mouse to drag Triggerl Levels";
}  // namespace

AnalysisWindow::AnalysisWindow(AnalysisHost& host, SettingsModel& settings, Clock& clock, Dialogs& dialogs, FileDialogs& fileDialogs,
                               SoundOutput& output, std::string programFolder, std::function<void()> yield)
    : host_(host),
      settings_(settings),
      clock_(clock),
      dialogs_(dialogs),
      fileDialogs_(fileDialogs),
      picAll(model_),
      picAnalyze(model_),
      player_({model_, picAll, output, dialogs, std::move(programFolder), std::move(yield),
               [this] { return !isVisible() || host_.Ending(); }, [this] { return host_.Ending(); }},
              this)
{
    setObjectName("frmAnalyze");
    setWindowTitle("Analyze");
    setFocusPolicy(Qt::StrongFocus);
    BuildMenu();
    BuildViews();
    advice_.onApply = [this](int muzzle, int impact) {
        settings_.SetVolumes(static_cast<std::int16_t>(muzzle), static_cast<std::int16_t>(impact));
        Form_Activate();
    };
    resize(900, 560);
}

void AnalysisWindow::BuildMenu()
{
    menu_.setParent(this);
    QMenu* file = menu_.addMenu("&File");
    file->setObjectName("mnuFile");
    const std::array<const char*, 4> items = {"&Open", "&Save As ...", "", "&Close"};
    for (int i = 0; i < 4; ++i) {
        if (i == 2) {
            QAction* measure = file->addAction("Measure &Recording…", this, [this] { host_.MeasureRecordingFile(); });
            measure->setObjectName("mnuMeasureRecording");
            file->addSeparator();
            continue;
        }
        QAction* action = file->addAction(items[static_cast<std::size_t>(i)], this, [this, i] { mnuFile_Click(i); });
        action->setObjectName(QString("mnuFile(%1)").arg(i));
    }
    QMenu* tools = menu_.addMenu("&Tools");
    tools->setObjectName("mnuTools");
    QAction* playAll = tools->addAction("Play &All", this, [this] { mnuTools_Click(1); });
    playAll->setObjectName("mnuTools(1)");
    QAction* playZoomed = tools->addAction("Play &Zoomed ", this, [this] { mnuTools_Click(2); });
    playZoomed->setObjectName("mnuTools(2)");
    player_.SetActions(playAll, playZoomed);
}

void AnalysisWindow::BuildViews()
{
    picAll.setParent(this);
    picAll.setObjectName("picAll");
    picAll.setToolTip("Use mouse to drag ZoomWindow and W/A/S/D-keys for finetune");
    picAll.onMouse = [this](QMouseEvent* e, QEvent::Type t) { OverviewMouse(e, t); };
    picAnalyze.setParent(this);
    picAnalyze.setObjectName("picAnalyze");
    picAnalyze.setToolTip(kZoomTip);
    picAnalyze.onMouse = [this](QMouseEvent* e, QEvent::Type t) { ZoomMouse(e, t); };
    for (std::size_t i = 0; i < lblX1.size(); ++i) {
        lblX1[i].setParent(this);
        lblX1[i].setObjectName(QString("lblX1(%1)").arg(i));
    }
    lblX1[3].hide();
    lblX1[5].setText("|<-- 0 ms");
    lblX1[7].setText("Relative Sound Volume");
    lblX1[6].setText("projected velocity");
    chkTrack.setParent(this);
    chkTrack.setObjectName("chkTrack");
    chkTrack.setText("Track Trigger Points");
    chkTrack.setChecked(true);
    connect(&chkTrack, &QCheckBox::toggled, this, [this](bool on) {
        picAnalyze.SetTrack(on);
        DrawZoomArray();
    });
}

void AnalysisWindow::SetWaveform(const SampleArray& waveform, std::int32_t rate, bool present)
{
    model_.SetWaveform(waveform, rate, present);
    adviceStale_ = true;
}

void AnalysisWindow::RefreshAdvice()
{
    const TriggerWindow window = WindowOf(settings_.Record(), model_.SampleTimeMs());
    const std::pair key{window.start, window.end};
    if (!adviceStale_ && key == adviceWindow_) return;
    adviceStale_ = false;
    adviceWindow_ = key;
    if (!model_.Present()) {
        advice_.Clear();
        return;
    }
    advice_.Show(SuggestLevels(std::span<const std::uint8_t>(model_.Waveform().data(), kRingSamples), model_.Rate(), window));
}

void AnalysisWindow::Form_Activate()
{
    host_.SetMainEnabled(false);
    model_.Search(settings_.Method(), DetectionSetupOf(settings_.Record(), model_.Rate(), settings_.Learnt()), clock_,
                  dragLine_ > 0);
    RefreshAdvice();
    UpdateViewTexts();
    Form_Resize();
}

void AnalysisWindow::Form_Unload(bool unload)
{
    host_.AnalysisClosed(unload);
}

bool AnalysisWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && isVisible()) Form_Activate();
    return QWidget::event(event);
}

void AnalysisWindow::closeEvent(QCloseEvent* event)
{
    Form_Unload(true);
    event->accept();
}

void AnalysisWindow::resizeEvent(QResizeEvent*) { Form_Resize(); }

void AnalysisWindow::hideEvent(QHideEvent* event)
{
    // Streaming stops with the window (not when it is only minimised), and
    // the output device is closed.
    if (!event->spontaneous() && player_.Streaming()) player_.Stop();
}

void AnalysisWindow::mnuTools_Click(int index)
{
    if (index == 1) player_.PlayAll();
    if (index == 2) {
        player_.PlayRange(static_cast<int>(std::lround(model_.ZoomLeft())),
                          static_cast<int>(std::lround(model_.ZoomLeft() + model_.ZoomWidth())));
    }
}

void AnalysisWindow::Form_Resize()
{
    // Layout units are pixels here (15 twips each); the window is at least 267 x 267.
    if (width() < 267 || height() < 267) {
        resize(std::max(width(), 267), std::max(height(), 267));
        return;
    }
    const int top = menu_.sizeHint().height();
    menu_.setGeometry(0, 0, width(), top);
    const int inner = width() - 24;
    picAll.setGeometry(8, top + 8, inner, 72);
    lblX1[5].setGeometry(8, picAll.geometry().bottom() + 2, 120, 16);
    lblX1[4].setText(Q(model_.LengthText()));
    lblX1[4].setAlignment(Qt::AlignRight);
    lblX1[4].setGeometry(8 + inner - 160, picAll.geometry().bottom() + 2, 160, 16);
    const int zoomTop = top + 104;
    picAnalyze.setGeometry(8, zoomTop, inner, std::max(height() - zoomTop - 100, 40));
    const int below = picAnalyze.geometry().bottom() + 2;
    lblX1[0].setGeometry(8, below, 200, 16);
    lblX1[1].setAlignment(Qt::AlignRight);
    lblX1[1].setGeometry(8 + inner - 200, below, 200, 16);
    lblX1[2].setAlignment(Qt::AlignCenter);
    lblX1[2].setGeometry(8 + inner / 2 - 220, below, 440, 16);
    chkTrack.setGeometry(8, below + 20, 200, 20);
    lblX1[6].setAlignment(Qt::AlignCenter);
    lblX1[6].setGeometry(0, below + 22, width(), 16);
    lblX1[7].setAlignment(Qt::AlignCenter);
    lblX1[7].setGeometry(0, below + 42, width(), 16);
    advice_.Place(8, below + 64, inner);
    picAnalyze.lblNoData.setVisible(!model_.Present());
    MoveLevelLines();
    DrawZoomArray();
    DrawAllArray();
}

void AnalysisWindow::MoveLevelLines()
{
    picAnalyze.SetLevels(settings_.Record().MuzzleVolume, settings_.Record().ImpactVolume);
}

void AnalysisWindow::UpdateViewTexts()
{
    const Settings& s = settings_.Record();
    const std::string_view unit = settings_.Units().SpeedUnit;
    const double view = std::round(model_.ZoomWidth());
    lblX1[0].setText(Q(model_.LeftEdgeText()));
    lblX1[1].setText(Q(model_.RightEdgeText()));
    lblX1[2].setText(Q(model_.ViewWidthText(view)));
    lblX1[6].setText(Q(model_.ViewVelocityText(s.distance, s.VelocityMin, s.VelocityMax, unit, view)));
}

void AnalysisWindow::DrawZoomArray()
{
    if (!model_.Present()) return;
    const int start = static_cast<int>(std::lround(model_.ZoomLeft()));
    const int end = std::min(static_cast<int>(std::lround(model_.ZoomLeft() + model_.ZoomWidth())), kRingSamples - 1);
    lblX1[7].setText("View Relative Sound Volume " + Q(model_.VolumeText(start, end)));
    const Settings& s = settings_.Record();
    const std::string_view unit = settings_.Units().SpeedUnit;
    picAnalyze.PlaceMarkers(model_.MuzzleText(), model_.ImpactText(s.distance, unit),
                            AnalysisModel::MaxVelocityText(s.VelocityMax, unit),
                            AnalysisModel::MinVelocityText(s.VelocityMin, unit));
    picAnalyze.update();
    picAll.update();  // the impact window follows the zoom window
}

void AnalysisWindow::DrawAllArray()
{
    if (model_.Present()) picAll.update();
}

void AnalysisWindow::OverviewMouse(QMouseEvent* event, QEvent::Type type)
{
    const double x = picAll.SampleAt(static_cast<int>(event->position().x()));
    const auto pointerFor = [](ZoomDrag d) {
        switch (d) {
        case ZoomDrag::LeftEdge:
        case ZoomDrag::RightEdge: return Qt::SizeHorCursor;
        case ZoomDrag::Move: return Qt::SizeAllCursor;
        case ZoomDrag::None: break;
        }
        return Qt::ArrowCursor;
    };
    if (type == QEvent::MouseButtonPress) {
        model_.BeginGrab(x);
        if (zoomDrag_ == ZoomDrag::None) zoomDrag_ = model_.ZoomHitTest(x);
        return;
    }
    if (type == QEvent::MouseButtonRelease) {
        setCursor(Qt::ArrowCursor);
        zoomDrag_ = ZoomDrag::None;
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        zoomDrag_ = ZoomDrag::None;
        setCursor(pointerFor(model_.ZoomHitTest(x)));
        return;
    }
    if (zoomDrag_ == ZoomDrag::None) zoomDrag_ = model_.ZoomHitTest(x);
    setCursor(pointerFor(zoomDrag_));
    model_.DragZoom(zoomDrag_, x, MinZoomWidth());
    UpdateViewTexts();
    DrawZoomArray();
}

void AnalysisWindow::ZoomMouse(QMouseEvent* event, QEvent::Type type)
{
    const double y = picAnalyze.UnitsY(static_cast<int>(event->position().y()));
    const int muzzle = settings_.Record().MuzzleVolume;
    const int impact = settings_.Record().ImpactVolume;
    if (type == QEvent::MouseButtonPress) {
        const int line = AnalysisModel::LevelHitTest(y, muzzle, impact);
        if (line == 0) return;
        dragLine_ = line;
        setCursor(Qt::SizeVerCursor);
        return;
    }
    if (type == QEvent::MouseButtonRelease) {
        dragLine_ = 0;
        setCursor(Qt::ArrowCursor);
        picAnalyze.lblCoords.hide();
        return;
    }
    if (dragLine_ == 0) {
        setCursor(AnalysisModel::LevelHitTest(y, muzzle, impact) > 0 ? Qt::SizeVerCursor : Qt::ArrowCursor);
        if (y >= 0 && y <= 255) picAnalyze.setToolTip(kZoomTip);
        return;
    }
    if (y < 0 || y > 255) return;
    const bool muzzleLine = dragLine_ <= 2;
    const int level = AnalysisModel::LevelFromY(y);
    picAnalyze.lblCoords.setText(QString(muzzleLine ? "Muzzle Volume: " : "Impact Volume: ") + QString::number(level));
    picAnalyze.lblCoords.adjustSize();
    picAnalyze.lblCoords.move(static_cast<int>(event->position().x()) + 10, picAnalyze.PixelY(y));
    picAnalyze.lblCoords.show();
    const auto set = static_cast<std::int16_t>(level);
    settings_.SetVolumes(muzzleLine ? set : settings_.Record().MuzzleVolume, muzzleLine ? settings_.Record().ImpactVolume : set);
    picAnalyze.setToolTip(muzzleLine ? "Use mouse to drag Trigger Volume Level" : "Use mouse to drag Impact Volume Level");
    Form_Activate();
    DrawZoomArray();
}

void AnalysisWindow::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (text.size() == 1) {
        Form_KeyPress(text.at(0).toLatin1());
        return;
    }
    QWidget::keyPressEvent(event);
}

void AnalysisWindow::Form_KeyPress(char key)
{
    const double step = static_cast<double>(kRingSamples) / (picAll.width() * 15.0);
    model_.Key(key, step, MinZoomWidth());
    UpdateViewTexts();
    DrawZoomArray();
}

void AnalysisWindow::mnuFile_Click(int index)
{
    switch (index) {
    case 0: {
        const std::string path = fileDialogs_.OpenFileName(kWaveFilter);
        if (path.size() > 3) {
            const auto loaded = ReadWaveFile(path);
            if (!loaded) {
                // A file that is no recording changes nothing.
                dialogs_.Critical("Error", loaded.Error());
                return;
            }
            SetWaveform(loaded->samples, loaded->rate, true);
        } else {
            // A cancelled dialog still marks the waveform in memory present.
            model_.MarkPresent();
        }
        setWindowTitle(Q("Analyze - " + (path.size() > 3 ? path : std::string())));
        Form_Activate();
        break;
    }
    case 1: {
        const std::string chosen = fileDialogs_.SaveFileName("", "", kWaveFilter, false);
        if (chosen.size() < 4) return;
        // ".wav" is always appended, so the question is about that file,
        // not the name typed.
        const std::string path = chosen + ".wav";
        if (std::filesystem::exists(path) &&
            !dialogs_.Question("Save As", path + " already exists." + kLineBreak + "Do you want to replace it?")) {
            return;
        }
        const std::string failure = WriteWaveFile(path, model_.Waveform(), model_.Rate());
        if (!failure.empty()) dialogs_.Critical("Error", "Cannot save the waveform: " + failure);
        break;
    }
    case 3:
        Form_Unload();
        hide();
        break;
    default:
        break;
    }
}

}  // namespace quorvel

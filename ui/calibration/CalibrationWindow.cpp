#include "CalibrationWindow.h"

#include <QCloseEvent>

#include "NumberText.h"

namespace quorvel {

namespace {

constexpr const char* kInstructions =
    "Set eggtimer below and shoot a test shot for calibration analysis. The purpose of calibration shot is to be able "
    "to finetune and analyze trigger volumes for muzzle and impact. ";

// Twips to pixels at 96 dpi.
QRect Twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

QFont Font(const char* family, const char* fallback, double points, bool bold)
{
    QFont f;
    f.setFamilies({family, fallback});
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

}  // namespace

bool WaitSeconds(Clock& clock, float seconds, const std::function<void()>& yield, const std::function<bool()>& abort)
{
    const std::int32_t start = RoundToInt32(clock.NowMs());
    while ((clock.NowMs() - start) / 1000 < seconds) {
        if (abort()) return false;
        yield();
    }
    return true;
}

CalibrationWindow::CalibrationWindow(CalibrationHost& host, Clock& clock, std::function<void()> yield)
    : host_(host), clock_(clock), yield_(std::move(yield))
{
    setObjectName("frmTestshot");
    setWindowTitle("Calibration Shot");
    setFixedSize(7110 / 15, 6000 / 15);  // the client area; the frame is the window manager's

    const auto place = [this](QWidget& w, const char* name, const QRect& r) {
        w.setParent(this);
        w.setObjectName(name);
        w.setGeometry(r);
    };
    place(Label1, "Label1", Twips(495, 240, 6120, 1335));
    Label1.setFont(Font("Verdana", "DejaVu Sans", 9.75, false));
    Label1.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1.setWordWrap(true);
    place(lblBigTime, "lblBigTime", Twips(75, 1800, 3735, 2895));
    lblBigTime.setFont(Font("Arial", "Liberation Sans", 150, true));
    lblBigTime.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblBigTime.setText("10");
    place(lblSmallTime, "lblSmallTime", Twips(3840, 2040, 2895, 2175));
    lblSmallTime.setFont(Font("Arial", "Liberation Sans", 99.75, true));
    lblSmallTime.setText(":00");
    place(lblFire, "lblFire", Twips(0, 1680, 7095, 3195));
    lblFire.setFont(Font("Arial", "Liberation Sans", 129.75, true));
    lblFire.setAlignment(Qt::AlignCenter);
    lblFire.setText("FIRE");
    lblFire.setStyleSheet("color: white; background: rgb(255, 0, 0);");
    lblFire.hide();
    place(Line1, "Line1", Twips(240, 5040, 6600, 15));
    Line1.setFrameShape(QFrame::HLine);
    place(scrTimer, "scrTimer", Twips(255, 5280, 375, 375));
    scrTimer.setOrientation(Qt::Vertical);
    // A vertical bar lowers its value with the upper arrow; the seconds are
    // the value's negative so that the upper arrow (and the Up key, and the
    // wheel turned up) gives more time, as an up/down control does.
    scrTimer.setRange(-60, 0);
    scrTimer.setValue(-10);
    connect(&scrTimer, &QScrollBar::valueChanged, this,
            [this] { lblBigTime.setText(QString::fromStdString(FormatPattern(Seconds(), "0"))); });
    place(Label2, "Label2", Twips(735, 5400, 2295, 255));
    Label2.setFont(Font("Verdana", "DejaVu Sans", 9, false));
    Label2.setAlignment(Qt::AlignCenter);
    Label2.setText("Countdown timer (sec)");
    place(cmdStart[0], "cmdStart(0)", Twips(3840, 5280, 1335, 375));
    cmdStart[0].setText("&Start");
    place(cmdStart[1], "cmdStart(1)", Twips(5535, 5280, 1335, 375));
    cmdStart[1].setText("&Cancel");
    connect(&cmdStart[0], &QPushButton::clicked, this, [this] { cmdStart_Click(0); });
    connect(&cmdStart[1], &QPushButton::clicked, this, [this] { cmdStart_Click(1); });

    // Form_Load.
    Label1.setText(QString(kInstructions) + "\n" + "After countdown you have " +
                   QString::fromStdString(GeneralNumber(kFireSeconds)) + " seconds to fire.");
}

bool CalibrationWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && !counting_) Form_Activate();
    return QWidget::event(event);
}

void CalibrationWindow::Form_Activate()
{
    lblBigTime.setText(QString::fromStdString(FormatPattern(Seconds(), "0")));
    lblFire.hide();
}

void CalibrationWindow::closeEvent(QCloseEvent* event)
{
    // The close box is a Cancel.
    cancelRequested_ = true;
    ClosingSteps();
    event->accept();
}

bool CalibrationWindow::Wait(float seconds, bool cancellable)
{
    // A cancelled countdown stops at once; the 1.5 s of firing always runs out.
    return WaitSeconds(clock_, seconds, yield_,
                       [this, cancellable] { return (cancellable && cancelRequested_) || host_.Ending(); });
}

void CalibrationWindow::cmdStart_Click(int index)
{
    if (index == 1) {
        cancelRequested_ = true;
        ClosingSteps();
        return;
    }
    if (counting_) return;  // one calibration shot at a time
    CalibrationShot();
}

void CalibrationWindow::CalibrationShot()
{
    counting_ = true;
    cancelRequested_ = false;
    cmdStart[0].setEnabled(false);
    scrTimer.setEnabled(false);
    int n = RoundToInt16(ParseLeadingNumber(lblBigTime.text().toStdString()));
    bool cancelled = false;
    do {
        n -= 1;
        lblBigTime.setText(QString::fromStdString(FormatPattern(n, "00")));
        for (int k = 9; k >= 0; --k) {
            if (!Wait(0.1f, true)) break;
            lblSmallTime.setText(QString::fromStdString(":" + FormatPattern(k * 10, "00")));
        }
        if (cancelRequested_ || host_.Ending()) {
            cancelled = true;
            break;
        }
    } while (n > 0);
    if (!cancelled) {
        lblFire.show();
        host_.DoStart();
        Wait(kFireSeconds, false);
        host_.DoStop();
        if (!host_.Ending()) host_.AnalyseRecording();
    }
    counting_ = false;
    ClosingSteps();
}

void CalibrationWindow::ClosingSteps()
{
    lblFire.hide();
    scrTimer.setEnabled(true);
    cmdStart[0].setEnabled(true);
    hide();
    if (!host_.Ending()) host_.ReturnFromCalibration();
}

}  // namespace quorvel

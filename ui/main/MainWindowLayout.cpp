// Where every control of the main window stands, with its caption, tooltip
// and name. Sizes are pixels at 96 dpi (a twip is 1/15 of one); Qt scales
// them on high-DPI screens.
#include <QCheckBox>

#include "MainWindow.h"

namespace quorvel {

namespace {

template <typename W>
W& Place(W& widget, QWidget* parent, const QString& name, int x, int y, int w, int h)
{
    widget.setParent(parent);
    widget.setObjectName(name);
    widget.setGeometry(x, y, w, h);
    return widget;
}

QString Indexed(const char* name, int index) { return QString("%1(%2)").arg(name).arg(index); }

}  // namespace

void MainWindow::BuildControls()
{
    setObjectName("frmMain");
    setWindowTitle("quorvel");
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    setFont(font);

    // Measuring data, top left.
    Place(frmVelo, this, "frmVelo", 8, 4, 300, 178).setTitle("Measuring Data");
    const std::array<const char*, 6> dataCaptions = {"Velocity:", "Samples:", "Resolution:", "Accuracy:", "", "Shot:"};
    int row = 0;
    for (int i = 0; i < 6; ++i) {
        if (i == 4) {
            Place(lblVel[4], &frmVelo, "lblVel(4)", 0, 0, 0, 0).hide();  // no reading of its own
            continue;
        }
        Place(lblData[static_cast<std::size_t>(i)], &frmVelo, Indexed("lblData", i), 10, 24 + row * 28, 80, 20)
            .setText(dataCaptions[static_cast<std::size_t>(i)]);
        QLabel& value = Place(lblVel[static_cast<std::size_t>(i)], &frmVelo, Indexed("lblVel", i), 92, 24 + row * 28, 200, 20);
        QFont big = font;
        big.setPixelSize(i == 0 ? 16 : 12);
        big.setBold(i == 0 || i == 5);
        value.setFont(big);
        ++row;
    }

    // The right-hand column of buttons, always visible.
    struct Button {
        QPushButton& button;
        const char* name;
        const char* caption;
        const char* tip;
    };
    const Button buttons[] = {
        {StartButton, "StartButton", "&Start >>", "Start/stop shooting and measuring..."},
        {cmdAnalyze, "cmdAnalyze", "&Analyze  >>", "Analyze waveform and finetune trigger levels"},
        {cmdTestShot, "cmdTestShot", "&Calibration Shot >>", "Shoot a timed calibration shot "},
        {cmdSettings, "cmdSettings", "&Settings  >>", "Show/Hide settings"},
        {cmdExit, "cmdExit", "&Exit", "Goodbye"},
    };
    int y = 10;
    for (const Button& b : buttons) {
        Place(b.button, this, b.name, 316, y, 133, 28).setText(b.caption);
        b.button.setToolTip(b.tip);
        y += 34;
    }

    // Debug read-outs, beside the buttons in the large layout.
    Place(lblPBUF, this, "lblPBUF", 462, 10, 210, 16);
    Place(debug2, this, "debug2", 462, 30, 210, 34).setText("sampling debug-data");
    Place(lclCalls, this, "lclCalls", 462, 70, 210, 64).setText("sampling debug-data");

    // The settings frames.
    const std::array<const char*, 5> frameCaptions = {"General Settings", "Hardware", "Calibration", "Auto Analyze ", "Save"};
    const std::array<QRect, 5> frameRects = {QRect(8, 190, 330, 150), QRect(8, 345, 330, 128), QRect(346, 190, 325, 150),
                                             QRect(346, 345, 325, 62), QRect(346, 411, 325, 62)};
    for (std::size_t i = 0; i < 5; ++i) {
        const QRect& r = frameRects[i];
        Place(frmSettings[i], this, Indexed("frmSettings", static_cast<int>(i)), r.x(), r.y(), r.width(), r.height())
            .setTitle(frameCaptions[i]);
    }

    struct Field {
        int index;
        int frame;
        int caption;
        const char* captionText;
        int unit;
        const char* unitText;
        const char* tip;
        const char* designed;
    };
    const Field fields[] = {
        {0, 0, 1, "Target Distance:", 3, "m", "Distance from muzzle to target", "10"},
        {6, 0, 14, "Mic Distance:", 13, "m", "Distance from muzzle to target", "5"},
        {2, 0, 2, "Retained Velocity:", 5, "%", "Velocity loss value to convert average velocity to muzzle velocity", "96"},
        {1, 0, 0, "Pellet Mass:", 4, "g", "Mass of pellet", "1.037"},
        {4, 2, 10, "Min Velocity:", 9, "m/s", "Minimum detectable velocity", "200"},
        {5, 2, 12, "Max Velocity:", 11, "m/s", "Maximum detectable velocity", "400"},
        {7, 2, 17, "Muzzle Volume:", 18, "0-127", "Measuring trigger volume for muzzle", "75"},
        {3, 2, 15, "Impact Volume:", 16, "0-127", "Measuring trigger volume for impact", "85"},
        {8, 2, 20, "Cal. Offset:", 21, "m/s", "Calibration offset (summed to measured velocity)", "0.0"},
    };
    std::array<int, 5> rowOf{};
    for (const Field& f : fields) {
        QGroupBox* frame = &frmSettings[static_cast<std::size_t>(f.frame)];
        const int top = 20 + 25 * rowOf[static_cast<std::size_t>(f.frame)]++;
        Place(lblInfo[static_cast<std::size_t>(f.caption)], frame, Indexed("lblInfo", f.caption), 10, top + 2, 118, 18)
            .setText(f.captionText);
        QLineEdit& edit = Place(txtInfo[static_cast<std::size_t>(f.index)], frame, Indexed("txtInfo", f.index), 132, top, 80, 21);
        edit.setText(f.designed);
        edit.setToolTip(f.tip);
        edit.installEventFilter(this);
        Place(lblInfo[static_cast<std::size_t>(f.unit)], frame, Indexed("lblInfo", f.unit), 218, top + 2, 100, 18)
            .setText(f.unitText);
    }
    txtInfo[PanelField::MicDistance].setEnabled(false);

    Place(lblInfo[19], &frmSettings[0], "lblInfo(19)", 10, 122, 118, 18).setText("Measuring Units:");
    Place(optUnits[0], &frmSettings[0], "optUnits(0)", 132, 120, 80, 20).setText("metric ");
    optUnits[0].setToolTip("International System units (metric) based on physics");
    Place(optUnits[1], &frmSettings[0], "optUnits(1)", 218, 120, 100, 20).setText("imperial");
    optUnits[1].setToolTip("Imperial units based on King's body measurement and who knows to what else...");
    optUnits[0].setChecked(true);

    QGroupBox* hardware = &frmSettings[1];
    Place(lblInfo[8], hardware, "lblInfo(8)", 10, 22, 70, 18).setText("Device:");
    Place(DevicesBox, hardware, "DevicesBox", 82, 20, 238, 22);
    Place(lblInfo[6], hardware, "lblInfo(6)", 10, 50, 70, 18).setText("Frequency:");
    Place(cmbFreq, hardware, "cmbFreq", 82, 48, 100, 22).setEditable(true);
    cmbFreq.setInsertPolicy(QComboBox::NoInsert);
    cmbFreq.setCompleter(nullptr);  // a typed rate is taken as typed, keystroke by keystroke
    Place(lblErr, hardware, "lblErr", 190, 44, 134, 32);
    lblErr.setStyleSheet("color: rgb(255, 0, 0);");
    lblErr.hide();
    Place(lblInfo[7], hardware, "lblInfo(7)", 10, 88, 70, 18).setText("Volume:");
    Place(scrVolume, hardware, "scrVolume", 82, 88, 180, 17).setOrientation(Qt::Horizontal);
    scrVolume.setRange(0, 10);
    Place(lblVolume, hardware, "lblVolume", 270, 88, 50, 18).setText("5");

    const std::array<const char*, 3> freezeCaptions = {"... if shot detected", "... if no impact", "... if max velocity exceeded"};
    const std::array<const char*, 3> freezeTips = {"Stop and analyze waveform if successful shot is detected",
                                                   "Stop and analyze waveform if trigger is deteced but no impact",
                                                   "Stop and analyze waveform if max velocity has been exceeded"};
    const std::array<QPoint, 3> freezeAt = {QPoint(10, 18), QPoint(170, 18), QPoint(10, 38)};
    for (std::size_t i = 0; i < 3; ++i) {
        Place(chkFreeze[i], &frmSettings[3], Indexed("chkFreeze", static_cast<int>(i)), freezeAt[i].x(), freezeAt[i].y(), 190, 20)
            .setText(freezeCaptions[i]);
        chkFreeze[i].setToolTip(freezeTips[i]);
    }
    Place(chkAutosave, &frmSettings[4], "chkAutosave", 10, 18, 180, 20).setText("Autosave after detected shot");
    chkAutosave.setToolTip("Saves all measured velocities to txt-file");
    Place(chkSaveExt, &frmSettings[4], "chkSaveExt", 190, 18, 130, 20).setText("Save extended data");
    chkSaveExt.setToolTip("Saves also extended internal data");
    Place(chkSaveWaveform, &frmSettings[4], "chkSaveWaveform", 10, 38, 180, 20).setText("Save shot waveform ");
    chkSaveWaveform.setToolTip("Saves waveform binary data for later (re)analysing");
    chkSaveExt.setEnabled(false);
    chkSaveWaveform.setEnabled(false);

    // The realtime scope, in the lower part of the large layout.
    Place(Frame3, this, "Frame3", 8, 478, 663, 128).setTitle("Realtime Waveform");
    Place(optWave[0], &Frame3, "optWave(0)", 10, 16, 70, 20).setText("Static");
    Place(optWave[1], &Frame3, "optWave(1)", 84, 16, 120, 20).setText("Moving window");
    optWave[1].setChecked(true);
    Place(scope, &Frame3, "scope", 10, 38, 643, 68);
    Place(lblX1[0], &Frame3, "lblX1(0)", 10, 108, 160, 14).setText("0 ms");
    Place(lblX1[1], &Frame3, "lblX1(1)", 493, 108, 160, 14).setText("-1000 ms");
    lblX1[1].setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Line1.setParent(this);
    Line1.setObjectName("Line1");
    Line1.setFrameShape(QFrame::HLine);
    Line1.setFrameShadow(QFrame::Sunken);
    Place(lblCredit[0], this, "lblCredit(0)", 0, 0, 220, 15).setText("Quorvel - contact the author");
    lblCredit[0].setToolTip(" Click to contact author");
    Place(lblCredit[1], this, "lblCredit(1)", 0, 0, 220, 15).setText("quorvel.example");
    for (QLabel& credit : lblCredit) {
        credit.setAlignment(Qt::AlignCenter);
        credit.setCursor(Qt::PointingHandCursor);
        credit.installEventFilter(this);
    }
    resize(679, 693);
}

void MainWindow::LayOutBottom()
{
    const int left = frmVelo.x();
    const int lineY = height() - 80;  // 1200 twips above the bottom
    Line1.setGeometry(left, lineY, width() - 2 * left, 2);
    lblCredit[0].move((width() - lblCredit[0].width()) / 2, lineY + 7);
    lblCredit[1].move((width() - lblCredit[1].width()) / 2, lineY + 7 + lblCredit[0].height());
}

}  // namespace quorvel

#include "MethodChoice.h"

#include "Placement.h"

namespace quorvel {

MethodChoice::MethodChoice(QGroupBox& frame, SettingsModel& settings) : QObject(&frame), settings_(settings)
{
    setObjectName("methodChoice");
    Place(lblMethod, &frame, "lblMethod", 10, 107, 70, 18).setText("Detection:");
    Place(cmbMethod, &frame, "cmbMethod", 82, 106, 180, 20);
    cmbMethod.addItem("Threshold", static_cast<int>(DetectionMethod::Threshold));
    cmbMethod.addItem("Onset", static_cast<int>(DetectionMethod::Onset));
    cmbMethod.setToolTip(
        "Threshold: a shot is timed from the first sample past the muzzle volume to the first past the impact volume, "
        "as Quorvel has always measured.\n"
        "Onset: the report and the impact are timed where each sound begins, between samples; echoes and other "
        "shooters' reports are passed over, and every shot carries its accuracy. Best in halls and beside other "
        "shooters.");
    lblMethod.setBuddy(&cmbMethod);
    connect(&cmbMethod, &QComboBox::activated, this, [this](int index) {
        kept_ = true;
        settings_.SetMethod(static_cast<DetectionMethod>(cmbMethod.itemData(index).toInt()));
        emit chosen();
    });
}

void MethodChoice::Show(bool kept)
{
    kept_ = kept;
    cmbMethod.setCurrentIndex(cmbMethod.findData(static_cast<int>(settings_.Method())));
}

}  // namespace quorvel

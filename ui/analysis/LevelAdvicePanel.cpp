#include "LevelAdvicePanel.h"

namespace quorvel {

LevelAdvicePanel::LevelAdvicePanel(QWidget* window)
{
    lblSuggestion.setParent(window);
    lblSuggestion.setObjectName("lblSuggestion");
    cmdApplySuggestion.setParent(window);
    cmdApplySuggestion.setObjectName("cmdApplySuggestion");
    cmdApplySuggestion.setText("A&pply");
    cmdApplySuggestion.setToolTip("Put the suggested volumes into the main window's Muzzle and Impact Volume boxes");
    QObject::connect(&cmdApplySuggestion, &QPushButton::clicked, window, [this] {
        if (advice_.Good() && onApply) onApply(advice_.muzzleVolume, advice_.impactVolume);
    });
}

void LevelAdvicePanel::Show(const LevelAdvice& advice)
{
    advice_ = advice;
    if (advice.Good()) {
        lblSuggestion.setText(QString("Suggested: Muzzle Volume %1, Impact Volume %2  (background %3, report %4, impact %5)")
                                  .arg(advice.muzzleVolume)
                                  .arg(advice.impactVolume)
                                  .arg(advice.noisePeak)
                                  .arg(advice.muzzlePeak)
                                  .arg(advice.impactPeak));
        // Good volumes may come with advice (a report that clips): said
        // after them, in red, and whole in the tooltip.
        if (!advice.warning.empty()) lblSuggestion.setText(lblSuggestion.text() + "  — " + QString::fromStdString(advice.warning));
    } else {
        lblSuggestion.setText(QString::fromStdString("No volumes to suggest: " + advice.problem));
    }
    lblSuggestion.setStyleSheet(advice.Good() && !advice.warning.empty() ? "color: #a51d2d" : "");
    text_ = lblSuggestion.text();
    lblSuggestion.setToolTip(text_);
    cmdApplySuggestion.setEnabled(advice.Good());
    Elide();
}

void LevelAdvicePanel::Clear()
{
    advice_ = {};
    advice_.problem = "nothing recorded";
    lblSuggestion.clear();
    lblSuggestion.setToolTip({});
    text_.clear();
    cmdApplySuggestion.setEnabled(false);
}

void LevelAdvicePanel::Place(int left, int top, int width)
{
    const int button = std::max(cmdApplySuggestion.sizeHint().width(), 70);
    cmdApplySuggestion.setGeometry(left + width - button, top, button, cmdApplySuggestion.sizeHint().height());
    lblSuggestion.setGeometry(left, top, width - button - 8, cmdApplySuggestion.sizeHint().height());
    Elide();
}

void LevelAdvicePanel::Elide()
{
    // A narrow window shows the start, the volumes; the whole text is the tooltip.
    lblSuggestion.setText(lblSuggestion.fontMetrics().elidedText(text_, Qt::ElideRight, lblSuggestion.width()));
}

}  // namespace quorvel

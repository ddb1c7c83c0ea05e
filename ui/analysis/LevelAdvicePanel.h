// The suggested trigger volumes under the zoom view: what Quorvel would
// choose for the waveform shown, or why no choice works, and Apply, which
// puts them into the main window's boxes.
#pragma once

#include <functional>

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "LevelSuggestion.h"

namespace quorvel {

class LevelAdvicePanel {
public:
    explicit LevelAdvicePanel(QWidget* window);

    void Show(const LevelAdvice& advice);
    void Clear();  // nothing recorded yet
    void Place(int left, int top, int width);
    const LevelAdvice& Advice() const { return advice_; }

    std::function<void(int muzzle, int impact)> onApply;

private:
    void Elide();

    LevelAdvice advice_;
    QString text_;
    QLabel lblSuggestion;
    QPushButton cmdApplySuggestion;
};

}  // namespace quorvel

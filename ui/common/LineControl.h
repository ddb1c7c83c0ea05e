// A line control over a picture: a one-pixel frame in a colour, which the
// mouse passes through. Block separators, trigger lines, level lines and
// the play pointer are all made this way, so each can carry its name.
#pragma once

#include <QColor>
#include <QFrame>
#include <QString>

namespace quorvel {

inline void MakeLineControl(QFrame& line, QWidget* parent, const QString& name, const QColor& colour)
{
    line.setParent(parent);
    line.setObjectName(name);
    line.setAutoFillBackground(true);
    QPalette palette = line.palette();
    palette.setColor(QPalette::Window, colour);
    line.setPalette(palette);
    line.setAttribute(Qt::WA_TransparentForMouseEvents);
}

}  // namespace quorvel

// Puts a control of the main window in its place, with its described name.
// Sizes are pixels at 96 dpi (a twip is 1/15 of one); Qt scales them on
// high-DPI screens.
#pragma once

#include <QString>
#include <QWidget>

namespace quorvel {

template <typename W>
W& Place(W& widget, QWidget* parent, const QString& name, int x, int y, int w, int h)
{
    widget.setParent(parent);
    widget.setObjectName(name);
    widget.setGeometry(x, y, w, h);
    return widget;
}

inline QString Indexed(const char* name, int index) { return QString("%1(%2)").arg(name).arg(index); }

}  // namespace quorvel

// "String details": the name, gun, pellet and notes of one string, edited
// in a small dialog from the results window or the library.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "ShotLibrary.h"

namespace quorvel {

class StringDetailsDialog final : public QDialog {
    Q_OBJECT
public:
    StringDetailsDialog(const StringInfo& info, QWidget* parent);
    // The details as edited; id and start as given.
    StringInfo Details() const;

private:
    StringInfo info_;
    QLineEdit txtName;
    QLineEdit txtGun;
    QLineEdit txtPellet;
    QPlainTextEdit txtNotes;
};

}  // namespace quorvel

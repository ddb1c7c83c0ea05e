#include "FileDialogs.h"

#include <QFileDialog>

namespace quorvel {

std::string QtFileDialogs::SaveFileName(const std::string& title, const std::string& suggested, const std::string& filter,
                                       bool confirmOverwrite)
{
    return QFileDialog::getSaveFileName(nullptr, QString::fromStdString(title), QString::fromStdString(suggested),
                                        QString::fromStdString(filter), nullptr,
                                        confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite)
        .toStdString();
}

std::string QtFileDialogs::OpenFileName(const std::string& filter, const std::string& start)
{
    return QFileDialog::getOpenFileName(nullptr, QString(), QString::fromStdString(start), QString::fromStdString(filter))
        .toStdString();
}

}  // namespace quorvel

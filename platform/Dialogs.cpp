#include "Dialogs.h"

#include <cstdio>

#include <QMessageBox>
#include <QString>

namespace quorvel {

std::string MessageLine(const std::string& title, const std::string& text)
{
    std::string line = "quorvel: " + title + ": " + text;
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    return line;
}

namespace {
void Echo(const std::string& title, const std::string& text)
{
    std::fprintf(stderr, "%s\n", MessageLine(title, text).c_str());
    std::fflush(stderr);
}
}  // namespace

void QtDialogs::Critical(const std::string& title, const std::string& text)
{
    Echo(title, text);
    QMessageBox::critical(nullptr, QString::fromStdString(title), QString::fromStdString(text));
}

void QtDialogs::Information(const std::string& title, const std::string& text)
{
    Echo(title, text);
    QMessageBox::information(nullptr, QString::fromStdString(title), QString::fromStdString(text));
}

bool QtDialogs::Question(const std::string& title, const std::string& text)
{
    Echo(title, text);
    return QMessageBox::question(nullptr, QString::fromStdString(title), QString::fromStdString(text)) == QMessageBox::Yes;
}

}  // namespace quorvel

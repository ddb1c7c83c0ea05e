#include "Shell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace quorvel {

bool QtShell::OpenUrl(const std::string& url)
{
    // Qt hands the address to xdg-open; without it nothing happens, and says so.
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace quorvel

#include "Shell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace quorvel {

void QtShell::OpenUrl(const std::string& url)
{
    // A failure is not reported: there is nothing the shooter could do about it.
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace quorvel

#include "Instance.h"

#include <cstdlib>

#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

class LocalSocketInstance final : public Instance {
public:
    explicit LocalSocketInstance(std::string path) : path_(std::move(path)) {}

    Claimed Claim(bool record) override
    {
        if (path_.empty()) return {};
        const QString name = QString::fromStdString(path_);
        QLocalSocket other;
        other.connectToServer(name);
        if (other.waitForConnected(1000)) {
            other.write(record ? "raise record\n" : "raise\n");
            other.waitForBytesWritten(1000);
            other.waitForReadyRead(1000);  // the answer says the window came up, with its settings
            const QByteArray answer = other.readAll().trimmed();
            return {false, answer.startsWith("ok ") ? answer.mid(3).toStdString() : std::string()};
        }
        // Nobody answers: a socket left by a crash, or none at all.
        QLocalServer::removeServer(name);
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        if (!server_.listen(name)) return {};
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { Answer(); });
        return {};
    }

private:
    void Answer()
    {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
                const QByteArray request = peer->readAll();
                if (!request.startsWith("raise")) return;
                const std::string settings = onRaise ? onRaise(request.contains("record")) : std::string();
                peer->write("ok " + QByteArray::fromStdString(settings) + "\n");
                peer->disconnectFromServer();
            });
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    }

    std::string path_;
    QLocalServer server_;
};

// A folder of this user's alone: made with mode 700, or found as a real
// folder (no link) owned by this user and made 700. Anything else is
// someone else's to read or to place a socket in.
bool PrivateFolder(const std::string& folder, std::string* why)
{
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        if (why != nullptr) *why = folder + " is not a folder of this user's own";
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        if (why != nullptr) *why = folder + " cannot be made private";
        return false;
    }
    return true;
}

}  // namespace

std::string InstanceSocketPath(std::string* why)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* temporary = std::getenv("TMPDIR");
    const std::string folder =
        runtime != nullptr && *runtime == '/'
            ? std::string(runtime) + "/quorvel"
            : std::string(temporary != nullptr && *temporary == '/' ? temporary : "/tmp") + "/quorvel-" + std::to_string(::getuid());
    if (!PrivateFolder(folder, why)) return {};
    return folder + "/recorder";
}

std::unique_ptr<Instance> MakeLocalSocketInstance(const std::string& path)
{
    return std::make_unique<LocalSocketInstance>(path);
}

}  // namespace quorvel

#include "Instance.h"

#include <cstdlib>
#include <filesystem>

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace quorvel {

namespace {

constexpr const char* kRaise = "raise\n";

class LocalSocketInstance final : public Instance {
public:
    explicit LocalSocketInstance(std::string path) : path_(std::move(path)) {}

    bool Claim() override
    {
        const QString name = QString::fromStdString(path_);
        QLocalSocket other;
        other.connectToServer(name);
        if (other.waitForConnected(1000)) {
            other.write(kRaise);
            other.waitForBytesWritten(1000);
            other.waitForReadyRead(1000);  // the answer says the window came up
            return false;
        }
        // Nobody answers: a socket left by a crash, or none at all.
        QLocalServer::removeServer(name);
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        if (!server_.listen(name)) return true;  // recording alone matters more than the lock
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
            while (QLocalSocket* peer = server_.nextPendingConnection()) {
                QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
                    if (!peer->readAll().startsWith("raise")) return;
                    if (onRaise) onRaise();
                    peer->write("ok\n");
                    peer->disconnectFromServer();
                });
                QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            }
        });
        return true;
    }

private:
    std::string path_;
    QLocalServer server_;
};

}  // namespace

std::string InstanceSocketPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime != nullptr && *runtime == '/' ? std::string(runtime)
                                                                   : "/tmp/quorvel-" + std::to_string(::getuid());
    std::error_code ec;
    std::filesystem::create_directories(base + "/quorvel", ec);
    std::filesystem::permissions(base + "/quorvel", std::filesystem::perms::owner_all, ec);
    return base + "/quorvel/recorder";
}

std::unique_ptr<Instance> MakeLocalSocketInstance(const std::string& path)
{
    return std::make_unique<LocalSocketInstance>(path);
}

}  // namespace quorvel

#include "app/ui/single_instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <memory>
#include <utility>

namespace lumar::ui {
namespace {

// Long enough for a start busy with a folder scan, short enough not to feel hung.
constexpr int kWaitMs = 5000;
// A hand-over is a list of paths; a peer sending more is not a Lumar start.
constexpr qint64 kMaxHandOverBytes = 16 * 1024 * 1024;
// Paths are absolute, so a line with this start can never be one.
const QByteArray kTokenLine = "activation-token ";
const QByteArray kScreenshotLine = "take-screenshot";

// The same folder reached through a link or a relative path names the same socket.
QString FolderIdentity(const QString& folder) {
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// A folder of the user's that no other user may write to: no one else can put a socket of
// their own in place of ours, nor remove ours.
bool IsPrivateFolder(const QString& folder) {
    struct stat info {};
    return !folder.isEmpty() && ::stat(QFile::encodeName(folder).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 022) == 0;
}

// Whether the process at the other end of a local socket runs as this user.
bool PeerIsThisUser(qintptr descriptor) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return descriptor >= 0 &&
           ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::geteuid();
}

}  // namespace

SingleInstance::SingleInstance(const QString& settingsFolder, const QString& socketFolder)
    : server_(new QLocalServer(this)) {
    const QByteArray hash = QCryptographicHash::hash(FolderIdentity(settingsFolder).toUtf8(),
                                                     QCryptographicHash::Sha256);
    if (!socketFolder.isEmpty())
        socketPath_ =
            QDir(socketFolder).absoluteFilePath("lumar-" + hash.toHex().left(16) + ".socket");
    // In a shared folder another user must not be able to push paths into our list.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

QString SingleInstance::SocketFolderFor(const QString& settingsFolder) {
    for (const QString& folder : {qEnvironmentVariable("XDG_RUNTIME_DIR"), settingsFolder})
        if (IsPrivateFolder(folder)) return folder;
    return {};
}

SingleInstance::Claim SingleInstance::ClaimOrHandOver(const QStringList& paths,
                                                      const QString& activationToken,
                                                      bool screenshot) {
    // File managers may start one process per file, all at once: only one of them may find
    // no listener and become the first, the others must wait and hand over to it.
    if (socketPath_.isEmpty()) return Claim::kAlone;
    QLockFile lock(socketPath_ + ".lock");
    lock.tryLock(kWaitMs);
    switch (HandOver(paths, activationToken, screenshot)) {
        case HandOverResult::kDelivered:
            return Claim::kHandedOver;
        case HandOverResult::kForeignListener:
            return Claim::kAlone;
        case HandOverResult::kNoListener:
            break;
    }
    return Listen() ? Claim::kFirst : Claim::kAlone;
}

SingleInstance::HandOverResult SingleInstance::HandOver(const QStringList& paths,
                                                        const QString& activationToken,
                                                        bool screenshot) const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(kWaitMs)) return HandOverResult::kNoListener;
    if (!PeerIsThisUser(socket.socketDescriptor())) {
        qWarning("lumar: the socket %s belongs to another user; not handing over",
                 qPrintable(socketPath_));
        return HandOverResult::kForeignListener;
    }
    QByteArray message;
    if (!activationToken.isEmpty() && !activationToken.contains('\n'))
        message += kTokenLine + activationToken.toUtf8() + '\n';
    if (screenshot) message += kScreenshotLine + '\n';
    for (const QString& path : paths) {
        // A line break inside a file name would split it into two paths.
        if (path.contains('\n')) {
            qWarning("lumar: cannot pass on a path holding a line break: %s", qPrintable(path));
            continue;
        }
        message += path.toUtf8() + '\n';
    }
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(kWaitMs)) return HandOverResult::kNoListener;
    socket.disconnectFromServer();
    return HandOverResult::kDelivered;
}

bool SingleInstance::Listen() {
    if (server_->listen(socketPath_)) return true;
    // No one answered on it while we hold the lock: the socket of a start that did not end
    // cleanly. (With access options set, Qt already puts its new socket in the old one's place.)
    QLocalServer::removeServer(socketPath_);
    return server_->listen(socketPath_);
}

void SingleInstance::Accept() {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        if (!PeerIsThisUser(peer->socketDescriptor())) {
            peer->abort();
            peer->deleteLater();
            continue;
        }
        struct HandOverSoFar {
            QStringList paths;
            QString activationToken;
            bool screenshot = false;
            qint64 bytes = 0;
        };
        auto received = std::make_shared<HandOverSoFar>();
        connect(peer, &QLocalSocket::readyRead, this, [this, peer, received] {
            while (peer->canReadLine()) {
                QByteArray line = peer->readLine();
                received->bytes += line.size();
                line.chop(1);
                if (line.startsWith(kTokenLine)) {
                    received->activationToken = QString::fromUtf8(line.mid(kTokenLine.size()));
                    continue;
                }
                if (line == kScreenshotLine) {
                    received->screenshot = true;
                    continue;
                }
                if (!line.isEmpty()) {
                    received->paths.append(QString::fromUtf8(line));
                    continue;
                }
                peer->disconnectFromServer();
                emit PathsArrived(std::exchange(received->paths, {}),
                                  std::exchange(received->activationToken, {}));
                if (std::exchange(received->screenshot, false)) emit ScreenshotRequested();
                return;
            }
            if (received->bytes + peer->bytesAvailable() > kMaxHandOverBytes) peer->abort();
        });
    }
}

}  // namespace lumar::ui

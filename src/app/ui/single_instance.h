#pragma once
// One window per settings folder. The first start listens on a local socket named after its
// settings folder; a later start with the same folder hands its paths over and ends, so that
// "Open with" on many files, however the file manager starts us, fills one window.
//
// The hand-over is a line protocol: each absolute path in UTF-8 on a line of its own, then an
// empty line. A line "activation-token TOKEN" before the paths passes on the token the desktop
// gave the later start (XDG_ACTIVATION_TOKEN): under Wayland only that token lets the running
// window come to the front. A line "take-screenshot" asks the running window for a
// screenshot (`lumar --screenshot`).
//
// Only the user's own starts talk to each other: the socket lives in a folder only the user
// can write, and each side asks the kernel who the other is (SO_PEERCRED), so paths (private
// file names) never go to a socket another user put in place, nor are taken from one.
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace lumar::ui {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Claim {
        kFirst,       // listening; later starts hand their paths to this one
        kHandedOver,  // a running start took the paths; this one ends
        kAlone,  // neither worked (no private folder, another user's socket, ...): run on without
                 // listening
    };

    // `socketFolder` holds the socket and its lock; see SocketFolderFor(). Empty: none is safe,
    // every start runs alone.
    SingleInstance(const QString& settingsFolder, const QString& socketFolder);

    // Hands `paths` (and the desktop's activation token, when there is one) to the start that
    // listens for this settings folder, or becomes it.
    // With `screenshot`, the running start takes a screenshot after adding the paths.
    Claim ClaimOrHandOver(const QStringList& paths, const QString& activationToken = {},
                          bool screenshot = false);
    [[nodiscard]] QString SocketPath() const { return socketPath_; }

    // $XDG_RUNTIME_DIR, private to the user and emptied at logout; else the settings folder;
    // each only when it is a folder of the user's that no one else may write to, else empty.
    static QString SocketFolderFor(const QString& settingsFolder);

  signals:
    void PathsArrived(const QStringList& paths, const QString& activationToken);
    // After pathsArrived of the same hand-over.
    void ScreenshotRequested();

  private:
    enum class HandOverResult { kDelivered, kNoListener, kForeignListener };
    [[nodiscard]] HandOverResult HandOver(const QStringList& paths, const QString& activationToken,
                                          bool screenshot) const;
    bool Listen();
    void Accept();

    QString socketPath_;
    QLocalServer* server_ = nullptr;
};

}  // namespace lumar::ui

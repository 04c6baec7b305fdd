#pragma once
// One window per settings folder. The first start listens on a local socket named after its
// settings folder; a later start with the same folder hands its paths over and ends, so that
// "Open with" on many files, however the file manager starts us, fills one window.
//
// The hand-over is a line protocol: each absolute path in UTF-8 on a line of its own, then an
// empty line.
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace lumar::ui {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Claim {
        First,       // listening; later starts hand their paths to this one
        HandedOver,  // a running start took the paths; this one ends
        Alone,       // neither worked (folder unwritable, ...): run on without listening
    };

    // `socketFolder` holds the socket and its lock; see SocketFolderFor().
    SingleInstance(const QString& settingsFolder, const QString& socketFolder);

    // Hands `paths` to the start that listens for this settings folder, or becomes it.
    Claim ClaimOrHandOver(const QStringList& paths);
    QString SocketPath() const { return socketPath_; }

    // $XDG_RUNTIME_DIR, private to the user and emptied at logout; else the settings folder.
    static QString SocketFolderFor(const QString& settingsFolder);

  signals:
    void pathsArrived(const QStringList& paths);

  private:
    bool HandOver(const QStringList& paths) const;
    bool Listen();
    void Accept();

    QString socketPath_;
    QLocalServer* server_ = nullptr;
};

}  // namespace lumar::ui

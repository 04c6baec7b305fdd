#pragma once
// Asking the desktop for a screenshot. The window knows only this interface; the desktop's
// answer comes later, as a signal, since the user chooses the screen, window or area first.
#include <QObject>
#include <QString>

namespace lumar::ui {

class ScreenCapture : public QObject {
    Q_OBJECT
  public:
    enum class Outcome {
        kTaken,      // `file` is the picture the desktop wrote; it stays the desktop's
        kCancelled,  // the user closed the desktop's dialog
        kNoService,  // no screenshot service on this desktop (or no session bus)
        kFailed,     // `detail` says why
    };
    using QObject::QObject;

    // Starts a request; `parentWindow` names the window the desktop's dialog belongs to
    // ("x11:1a00003", or "" where it cannot be named). A request made while one is open is
    // dropped: the desktop's dialog of the first is still on the screen.
    virtual void Take(const QString& parentWindow) = 0;
    [[nodiscard]] virtual bool Busy() const = 0;

  signals:
    void Finished(lumar::ui::ScreenCapture::Outcome outcome, const QString& file,
                  const QString& detail);
};

}  // namespace lumar::ui

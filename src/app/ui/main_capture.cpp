// Pictures from the screen: the desktop's screenshot service, a picture of the whole screen
// where there is none (X11), and the new picture as a row of the list.
#include <QBuffer>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <ctime>

#include "app/ui/main_window.h"
#include "app/ui/portal_screenshot.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/pasted_pictures.h"
#include "shell/file_io.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// Long enough for the compositor to take the hidden window off the screen before it is read.
constexpr int kHideBeforeGrabMs = 400;

bool OnX11() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

}  // namespace

void MainWindow::TakeScreenshot() {
    if (!screenCapture_) {
        screenCapture_ = hooks_.screenCapture
                             ? hooks_.screenCapture(this)
                             : new PortalScreenshot(QDBusConnection::sessionBus(), this);
        connect(screenCapture_, &ScreenCapture::Finished, this, &MainWindow::OnScreenshotFinished);
    }
    if (screenCapture_->Busy()) return;
    ShowStatus(ToQ(strings_.Get(kStrScreenshotWaiting)));
    // The desktop puts its dialog over the window it is named; only X11 windows have a name
    // that needs no protocol of its own.
    screenCapture_->Take(OnX11() ? QStringLiteral("x11:%1").arg(winId(), 0, 16) : QString());
}

void MainWindow::OnScreenshotFinished(ScreenCapture::Outcome outcome, const QString& file,
                                      const QString& detail) {
    switch (outcome) {
        case ScreenCapture::Outcome::kTaken:
            AddCapture(CopyIntoCaptures(session_.Paths().capturesFolder,
                                        strings_.Get(kStrScreenshotName), FromQ(file),
                                        std::time(nullptr)));
            return;
        case ScreenCapture::Outcome::kCancelled:
            ShowStatus(ToQ(strings_.Get(kStrScreenshotCancelled)));
            return;
        case ScreenCapture::Outcome::kNoService: {
            const bool offered = hooks_.wholeScreenOffered ? hooks_.wholeScreenOffered() : OnX11();
            if (offered && hooks_.dialogs->Ask(this, QStringLiteral("Lumar"),
                                               ToQ(strings_.Get(kStrWholeScreenQuestion)),
                                               Dialogs::Button::kYes)) {
                TakeWholeScreen();
                return;
            }
            ShowStatus(ToQ(strings_.Get(kStrNoScreenshotService)));
            return;
        }
        case ScreenCapture::Outcome::kFailed:
            ShowStatus(ToQ(strings_.Get(kStrScreenshotFailed)) + " " + detail);
            return;
    }
}

void MainWindow::TakeWholeScreen() {
    hide();
    QTimer::singleShot(kHideBeforeGrabMs, this, [this] {
        QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QPixmap picture = screen ? screen->grabWindow(0) : QPixmap();
        QByteArray png;
        QBuffer buffer(&png);
        if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) ||
            !picture.save(&buffer, "PNG")) {
            BringToFront();
            ShowStatus(
                ToQ(strings_.Get(kStrScreenshotFailed) + " " + strings_.Get(kReasonScreenUnread)));
            return;
        }
        AddCapture(StoreCapture(session_.Paths().capturesFolder, strings_.Get(kStrScreenshotName),
                                std::string_view(png.constData(), size_t(png.size())),
                                std::time(nullptr)));
    });
}

void MainWindow::AddCapture(const CaptureResult& capture) {
    if (!capture.Ok()) {
        ShowStatus(CaptureProblemText(strings_, capture));
        if (!isVisible()) BringToFront();
        return;
    }
    ShowStatus(ToQ(strings_.Get(kStrScreenshotAdded) + " " +
                   capture.path.substr(capture.path.find_last_of(kPathSeparator) + 1)));
    OpenPaths({ToQ(capture.path)});
    BringToFront();
}

void MainWindow::ShowStatus(const QString& text) {
    statusPanels_[0]->setText(" " + text);
}

}  // namespace lumar::ui

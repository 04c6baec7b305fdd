// The window's own behaviour: its rounded outline, dragging with edge snapping, the
// notification-area icon and quitting.
#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleHints>
#include <QWindow>

#include "app/ui/main_window.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "session/hoster_choice.h"
#include "shell/settings_keys.h"
#include "shell/ui/qt_text.h"
#include "shell/window_geometry.h"
#include "upload/ui/hoster_frame.h"
#include "upload/ui/upload_panel.h"
#include "upload/upload_run.h"

namespace lumar::ui {

void MainWindow::ShapeWindow() {
    // A Wayland compositor takes the mask as the input region only and would still show the
    // corners; left unpainted on a see-through window, they vanish there too.
    if (QGuiApplication::platformName().startsWith("wayland"))
        setAttribute(Qt::WA_TranslucentBackground);
    // Everything outside the rounded rectangle is cut off, as a region would cut it.
    QBitmap mask(size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    const qreal radius = kCornerEllipsePixels / 2.0;
    painter.drawRoundedRect(QRectF(0, 0, width(), height()), radius, radius);
    painter.end();
    setMask(mask);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = kCornerEllipsePixels / 2.0;
    QLinearGradient top(0, 0, 0, 60);
    top.setColorAt(0, QColor(0xdc, 0xe6, 0xf4));
    top.setColorAt(1, palette().color(QPalette::Window));
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), radius, radius);
    painter.fillPath(outline, palette().color(QPalette::Window));
    painter.fillPath(outline.intersected([this] {
        QPainterPath band;
        band.addRect(0, 0, width(), 60);
        return band;
    }()),
                     top);
    painter.setPen(QPen(QColor(0x8a, 0x9b, 0xb5), 1));
    painter.drawPath(outline);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // A Wayland window cannot place itself: the compositor moves it, snapping it as it snaps
    // every window. Elsewhere the window moves itself and keeps its own edge snapping.
    if (event->button() == Qt::LeftButton &&
        QGuiApplication::platformName().startsWith("wayland") && windowHandle() &&
        windowHandle()->startSystemMove()) {
        dragging_ = false;
        event->accept();
        return;
    }
    pressedAt_ = event->position().toPoint();
    dragging_ = true;
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || event->buttons() == Qt::NoButton) return;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    const QPoint mouse = event->position().toPoint();
    const QPoint corner = pos() - available.topLeft();
    const TwipPoint to =
        DragWindowTo({PixelsToTwips(corner.x()), PixelsToTwips(corner.y())},
                     {PixelsToTwips(mouse.x()), PixelsToTwips(mouse.y())},
                     {PixelsToTwips(pressedAt_.x()), PixelsToTwips(pressedAt_.y())},
                     {PixelsToTwips(available.width()), PixelsToTwips(available.height())},
                     {PixelsToTwips(width()), PixelsToTwips(height())});
    move(available.topLeft() + QPoint(TwipsToPixels(to.x), TwipsToPixels(to.y)));
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) listPanel_->StripeList();
    QWidget::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The desktop may close a frameless window too (session end, a window manager's
    // shortcut); that goes the same way as the close image so nothing is left half done.
    // During a run the window stays until the answers are in (a second close: at once).
    Quit();
    if (run_)
        event->ignore();
    else
        event->accept();
}

void MainWindow::MinimizeToTray() {
    const bool available =
        hooks_.trayAvailable ? hooks_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    if (!available) {
        showMinimized();
        return;
    }
    if (!tray_) {
        tray_ = new QSystemTrayIcon(windowIcon(), this);
        connect(tray_, &QSystemTrayIcon::activated, this, &MainWindow::OnTrayActivated);
    }
    tray_->setToolTip("Lumar");
    tray_->show();
    inTray_ = true;
    // See eventFilter: the right-button double click reaches only the icon's own widget.
    qApp->installEventFilter(this);
    hide();
}

namespace {

// The widget Qt shows in an XEmbed notification area (X11 without a StatusNotifierItem host).
bool IsXEmbedTrayIcon(const QObject* object) {
    return object->isWidgetType() &&
           qstrcmp(object->metaObject()->className(), "QSystemTrayIconSys") == 0;
}

}  // namespace

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        (watched == this || watched == listPanel_->ListView()->viewport()) &&
        DropDefinitions(event))
        return true;
    // Qt's XEmbed icon turns the first press of a right double click into a context
    // activation and drops the double click itself, so the activations alone cannot tell it
    // from a single right click; its mouse events can.
    if (inTray_ && event->type() == QEvent::MouseButtonDblClick && IsXEmbedTrayIcon(watched) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        BringToFront();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (!inTray_) return;
    if (reason == QSystemTrayIcon::DoubleClick) {
        BringToFront();
        return;
    }
    // Tray hosts report each right click as a context request; two within the desktop's
    // double-click time are the right-button double click.
    if (reason == QSystemTrayIcon::Context) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (lastTrayContextMs_ >= 0 &&
            now - lastTrayContextMs_ <= QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
            lastTrayContextMs_ = -1;
            BringToFront();
            return;
        }
        lastTrayContextMs_ = now;
    }
}

void MainWindow::BringToFront(const QString& activationToken) {
    if (tray_) tray_->hide();
    qApp->removeEventFilter(this);
    inTray_ = false;
    lastTrayContextMs_ = -1;
    // Qt's Wayland plugin hands this variable's token to the compositor with the activation
    // request below and then clears it; other platforms ignore it.
    if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::Quit() {
    if (quitting_) {
        // The second close does not wait for the answers.
        if (run_) run_->Abort();
        return;
    }
    quitting_ = true;
    RememberHosterRow(hosters_, hosterFrame_->SelectedRow(), settingsFile_);
    // The images already sent get their answers, so their codes reach the posting and the
    // history; no other image starts, and the end of the run skips everything it would show.
    // The program ends when the run is over (StartUpload).
    if (run_) {
        run_->StopStarting();
        uploadPanel_->SetClosing(ToQ(strings_.Get(kStrClosing)));
        return;
    }
    EndProgram();
}

void MainWindow::EndProgram() {
    if (tray_) tray_->hide();
    qApp->removeEventFilter(this);
    inTray_ = false;
    hide();
    QCoreApplication::quit();
}

}  // namespace lumar::ui

#include "upload/ui/upload_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>

#include "shell/ui/qt_text.h"

namespace lumar::ui {

ProgressBox::ProgressBox(QWidget* parent) : QWidget(parent) {
    setObjectName("picProgress");
    setMinimumHeight(22);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void ProgressBox::DrawProgress(double value, double minimum, double maximum, bool withLabel) {
    double v = value;
    if (v < minimum) v = minimum;
    if (v > maximum) v = maximum;
    percent_ = ProgressPercent(value, minimum, maximum);
    filled_ = v > 0;
    withLabel_ = withLabel;
    update();
}

int ProgressBox::FilledWidth() const {
    if (!filled_) return 0;
    return static_cast<int>(std::lround(width() / 100.0 * percent_));
}

QString ProgressBox::LabelText() const {
    return QStringLiteral("%1 %").arg(percent_);
}

QRect ProgressBox::LabelRect() const {
    const QFontMetrics metrics(font());
    const int w = metrics.horizontalAdvance(LabelText());
    const int h = metrics.height();
    return QRect((width() - w) / 2, (height() - h) / 2, w, h);
}

QColor ProgressBox::LabelColor() const {
    return LabelRect().left() < FilledWidth() ? QColor(Qt::white) : QColor(Qt::black);
}

void ProgressBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (filled_)
        painter.fillRect(0, 0, FilledWidth(), height(), palette().color(QPalette::Highlight));
    if (withLabel_) {
        painter.setPen(LabelColor());
        painter.drawText(LabelRect(), Qt::AlignCenter, LabelText());
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

UploadPanel::UploadPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("picTransfer");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setVerticalSpacing(4);

    const char* captions[4] = {"Noch zu übertrage Dateien:", "Gesamtgrösse der Dateien:",
                               "Übertragungszeit:", "Restdauer:"};
    const char* initial[4] = {"0", "0 mb", "00:00:00", "00:00:00"};
    for (int i = 0; i < 4; ++i) {
        auto* caption = new QLabel(QString::fromUtf8(captions[i]), this);
        caption->setObjectName(QStringLiteral("labels_%1").arg(29 + i));
        lbFTP_[i] = new QLabel(QString::fromUtf8(initial[i]), this);
        lbFTP_[i]->setObjectName(QStringLiteral("lbFTP_%1").arg(3 + i));
        QFont bold = lbFTP_[i]->font();
        bold.setBold(true);
        lbFTP_[i]->setFont(bold);
        grid->addWidget(caption, i / 2, (i % 2) * 2);
        grid->addWidget(lbFTP_[i], i / 2, (i % 2) * 2 + 1);
    }
    lbfile_ = new QLabel("Aktuelles Bild", this);
    lbfile_->setObjectName("lbfile");
    lbfile_->setTextFormat(Qt::PlainText);
    lbfile_->setMinimumWidth(1);
    lblstatus_ = new QLabel("Connection", this);
    lblstatus_->setObjectName("lblstatus");
    lblstatus_->setTextFormat(Qt::PlainText);
    lblstatus_->setAutoFillBackground(true);
    lblstatus_->setMargin(3);
    QPalette statusPalette = lblstatus_->palette();
    statusPalette.setColor(QPalette::Window, QColor(0x7a, 0x86, 0x99));
    lblstatus_->setPalette(statusPalette);
    SetStatusColor(Qt::black);
    txStatus_ = new QPlainTextEdit(this);
    txStatus_->setObjectName("txStatus");
    txStatus_->setReadOnly(true);
    txStatus_->setLineWrapMode(QPlainTextEdit::NoWrap);
    picProgress_ = new ProgressBox(this);
    cmAbbruch_ = new QPushButton("Uploads Abbrechen", this);
    cmAbbruch_->setObjectName("cmAbbruch");
    cmAbbruch_->setAutoDefault(false);

    grid->addWidget(lbfile_, 2, 0, 1, 4);
    grid->addWidget(lblstatus_, 3, 0, 1, 4);
    grid->addWidget(txStatus_, 4, 0, 1, 4);
    grid->addWidget(picProgress_, 5, 0, 1, 3);
    grid->addWidget(cmAbbruch_, 5, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(4, 1);

    timer1_.setObjectName("Timer1");
    timer1_.setInterval(1000);
    connect(&timer1_, &QTimer::timeout, this, &UploadPanel::Tick);
    // Finer than a second, so the count does not lag behind by most of one.
    waitTimer_.setObjectName("tmWait");
    waitTimer_.setInterval(250);
    connect(&waitTimer_, &QTimer::timeout, this, &UploadPanel::ShowStatus);
    connect(cmAbbruch_, &QPushButton::clicked, this, &UploadPanel::CancelRequested);
}

void UploadPanel::RunStarted(int imageCount) {
    txStatus_->clear();
    picProgress_->DrawProgress(0, 0, imageCount);
    runStart_.reset();
    wait_ = {};
    closing_.clear();
    timer1_.start();
}

void UploadPanel::RunFinished() {
    timer1_.stop();
    waitTimer_.stop();
}

void UploadPanel::StatusLine(const std::string& text) {
    status_ = ToQ(text);
    ShowStatus();
}

void UploadPanel::Waiting(const UploadWait& wait) {
    wait_ = wait;
    if (wait.kind == UploadWait::Kind::kNone)
        waitTimer_.stop();
    else
        waitTimer_.start();
    ShowStatus();
}

void UploadPanel::SetClosing(const QString& text) {
    closing_ = text;
    ShowStatus();
}

void UploadPanel::ShowStatus() {
    QString text = status_;
    if (wait_.kind != UploadWait::Kind::kNone && strings_)
        text = ToQ(WaitText(wait_, *strings_, std::chrono::steady_clock::now()));
    if (!closing_.isEmpty()) text = closing_ + QStringLiteral(" – ") + text;
    lblstatus_->setText(text);
}

void UploadPanel::AppendLog(const std::string& text, bool lineEnd) {
    QTextCursor cursor = txStatus_->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ToQ(text));
    if (lineEnd) cursor.insertText(QStringLiteral("\n"));
    txStatus_->setTextCursor(cursor);
    txStatus_->ensureCursorVisible();
}

void UploadPanel::Figures(const UploadFigures& figures) {
    lbFTP_[0]->setText(QString::number(figures.remainingCount));
    lbFTP_[1]->setText(ToQ(FormatRemainingKB(figures.remainingKB, DecimalSeparator())));
    runStart_ = figures.runStart;
    ShowElapsedTime();
    if (figures.remainingSeconds)
        lbFTP_[3]->setText(ToQ(SecondsToClock(static_cast<double>(*figures.remainingSeconds))));
}

void UploadPanel::Progress(int value, int maximum) {
    picProgress_->DrawProgress(value, 0, maximum);
}

void UploadPanel::CurrentFile(const std::string& path) {
    lbfile_->setText(ToQ(path));
}

void UploadPanel::Tick() {
    ShowElapsedTime();
    SetStatusColor(statusColor_ == QColor(Qt::white) ? QColor(Qt::black) : QColor(Qt::white));
}

void UploadPanel::ShowElapsedTime() {
    if (!runStart_) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - *runStart_);
    lbFTP_[2]->setText(ToQ(SecondsToClock(static_cast<double>(elapsed.count()))));
}

QString UploadPanel::LogText() const {
    return txStatus_->toPlainText();
}

void UploadPanel::SetStatusColor(const QColor& color) {
    statusColor_ = color;
    QPalette p = lblstatus_->palette();
    p.setColor(QPalette::WindowText, color);
    lblstatus_->setPalette(p);
}

}  // namespace lumar::ui

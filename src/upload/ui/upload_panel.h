#pragma once
// The upload panel `picTransfer`, shown instead of the image list while a run lasts: the four
// figures `lbFTP_3`..`lbFTP_6` with their captions `labels_29`..`labels_32`, the current file
// `lbfile`, the blinking status line `lblstatus`, the log `txStatus`, the progress bar
// `picProgress` and the cancel button `cmAbbruch`. `Timer1` ticks once a second while a run
// lasts: it shows the time since the run's start (as the run reports it) and blinks the status
// line. While the run waits for an answer or for its next try, `tmWait` counts the seconds on
// the status line, and while the program ends the line says so first.
#include <QColor>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <optional>
#include <string>

#include "upload/upload_run.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace lumar::ui {

// `picProgress`: a bar in the highlight colour over the part done, the percentage centred on
// top, white where it starts inside the bar and black beside it.
class ProgressBox : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressBox(QWidget* parent = nullptr);
    // DrawProgress: value of minimum..maximum, with or without the percentage label.
    void DrawProgress(double value, double minimum, double maximum, bool withLabel = true);
    [[nodiscard]] int Percent() const { return percent_; }
    [[nodiscard]] int FilledWidth() const;
    [[nodiscard]] QString LabelText() const;
    // The colour the label is drawn in (white over the bar, black beside it).
    [[nodiscard]] QColor LabelColor() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    [[nodiscard]] QRect LabelRect() const;

    int percent_ = 0;
    bool filled_ = false;
    bool withLabel_ = false;
};

class UploadPanel : public QWidget {
    Q_OBJECT
  public:
    explicit UploadPanel(QWidget* parent = nullptr);

    // The texts of the wait lines; the table must outlive the panel.
    void SetStrings(const UiStrings* strings) { strings_ = strings; }

    // Display side of the run.
    void RunStarted(int imageCount);
    void RunFinished();
    void StatusLine(const std::string& text);
    // Until the wait is over, the status line counts its seconds instead.
    void Waiting(const UploadWait& wait);
    // Put before the status line for the rest of the run ("Beende …").
    void SetClosing(const QString& text);
    void AppendLog(const std::string& text, bool lineEnd);
    void Figures(const UploadFigures& figures);
    void Progress(int value, int maximum);
    void CurrentFile(const std::string& path);

    // One tick of Timer1 (public so that tests can tick without waiting).
    void Tick();
    QTimer* Timer() { return &timer1_; }
    [[nodiscard]] QColor StatusColor() const { return statusColor_; }
    [[nodiscard]] QString LogText() const;
    [[nodiscard]] ProgressBox* Progress() const { return picProgress_; }

  signals:
    void CancelRequested();

  private:
    void SetStatusColor(const QColor& color);
    void ShowElapsedTime();
    void ShowStatus();

    QLabel* lbFTP_[4] = {};  // indexes 3..6
    QLabel* lbfile_;
    QLabel* lblstatus_;
    QPlainTextEdit* txStatus_;
    ProgressBox* picProgress_;
    QPushButton* cmAbbruch_;
    QTimer timer1_;
    QTimer waitTimer_;
    const UiStrings* strings_ = nullptr;
    QString status_;   // as the run last set it
    UploadWait wait_;  // what the run waits for
    QString closing_;
    std::optional<std::chrono::steady_clock::time_point> runStart_;  // from the run's figures
    QColor statusColor_ = Qt::black;
};

}  // namespace lumar::ui

#pragma once
// The history window's posting: the text "Posting erstellen" made of the chosen entries,
// shown in the history window itself (the main window lies behind it), with a button that
// copies exactly what is shown. Hidden until the first posting.
#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace lumar::ui {

class HistoryPostingBox : public QWidget {
    Q_OBJECT
  public:
    explicit HistoryPostingBox(const QString& copyCaption, QWidget* parent = nullptr);

    void Show(const QString& posting);

  private:
    void Copy();

    QString posting_;
    QPlainTextEdit* txPosting_;
    QPushButton* cmCopyPosting_;
};

}  // namespace lumar::ui

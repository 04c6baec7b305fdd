#pragma once
// A label that reports clicks and double clicks; used for the window's images and links.
#include <QLabel>

namespace lumar::ui {

class LinkLabel : public QLabel {
    Q_OBJECT
  public:
    // `link` gives the label the hand cursor that marks a clickable link.
    explicit LinkLabel(const QString& objectName, QWidget* parent, bool link = false);

  signals:
    void Clicked();
    void DoubleClicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    bool pressed_ = false;
};

}  // namespace lumar::ui

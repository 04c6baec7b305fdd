#pragma once
// The preview box `picPreview`: the picture of the current row, scaled down to fit and
// centred, kept as the box's own picture so it survives repaints.
#include <QImage>
#include <QRect>
#include <QWidget>
#include <string>

namespace lumar::ui {

class PreviewBox : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewBox(QWidget* parent = nullptr);

    void Clear();
    // Loads and draws the file (its path as the bytes the file system knows it by). False when
    // it cannot be loaded or drawn - also for a FIFO or device in its place, which is never
    // waited on; the box is then empty.
    bool ShowFile(const std::string& path);
    [[nodiscard]] bool IsEmpty() const { return picture_.isNull(); }
    // Where the picture was drawn inside the box, in pixels (empty when nothing is shown).
    [[nodiscard]] QRect PictureRect() const { return placed_; }
    // How many files were loaded since the box was made (lets tests tell a redraw from none).
    [[nodiscard]] int LoadCount() const { return loads_; }

  signals:
    void DoubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QImage picture_;  // already scaled to placed_.size()
    QRect placed_;
    int loads_ = 0;
};

}  // namespace lumar::ui

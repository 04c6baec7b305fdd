#pragma once
// The frame "-> Upload auf": the hoster choice with its size limit and home page, the options
// button and the button that starts the upload.
#include <QGroupBox>

#include "hosters/hoster_table.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace lumar::ui {

class LinkLabel;

class HosterFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit HosterFrame(QWidget* parent = nullptr);

    // Fills the choice with the names of rows 1..N and selects the first. Today's rows
    // (standard requests) come first, then the classic ones, each group under its caption
    // when there are both; a row that still lacks its key says so in its entry.
    void SetHosters(const HosterTable& table);
    // The captions of the two groups and the note of a missing key, in the interface's
    // language; the choice is filled again, keeping its row.
    void SetGroupTexts(const QString& today, const QString& classic, const QString& keyMissing);
    // Selects a list index, clamped to the last entry (a remembered index beyond the list
    // selects the last hoster); runs the change handler like a user's choice.
    void SelectHoster(int index);
    // Selected list index (row - 1), -1 when the choice is empty.
    [[nodiscard]] int SelectedIndex() const;
    // Table row of the selection (list index + 1).
    [[nodiscard]] int SelectedRow() const { return SelectedIndex() + 1; }

    [[nodiscard]] QPushButton* UploadButton() const { return cmUpload_; }
    [[nodiscard]] QPushButton* HostersButton() const { return cmHosters_; }

  signals:
    void ConfigRequested();
    void HostersRequested();
    void UploadRequested();
    void HomePageClicked(const QString& url);

  private:
    void Fill();
    void AddRows(bool today);
    void OnHosterChanged(int entry);

    HosterTable table_;
    QString todayCaption_ = QString::fromUtf8("Hoster von heute");
    QString classicCaption_ = QString::fromUtf8("Klassische Hoster (Lumar 1)");
    QString keyMissing_ = QString::fromUtf8("Schlüssel fehlt");
    QComboBox* cbHoster_;
    QLabel* lbSize_;
    LinkLabel* lbURL_;
    QPushButton* cmConfig_;
    QPushButton* cmHosters_;
    QPushButton* cmUpload_;
};

}  // namespace lumar::ui

#pragma once
// frmHistory: the past uploads, newest first, with a search over file name, hoster and date,
// a preview of the chosen entry's local file, and what can be done with the selected entries:
// copy their codes, make a posting of them, open a link, have the host delete the image, or
// forget them. The window reads the history once when it opens; the requests that leave this
// room (the deletion over the network, the making of the posting) come in through its env.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "shell/language_table.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
template <typename T>
class QFutureWatcher;

namespace lumar::ui {

class Dialogs;
class HistoryModel;
class HistoryPostingBox;

struct HistoryWindowEnv {
    std::string historyFile;
    // Starts asking the host to delete an image by its deletion URL and returns; `done` runs
    // from the event loop once the host answered: done when the answer matched `confirm` (the
    // entry's deletionConfirm), else why not.
    std::function<void(const std::string& deletionUrl, const std::string& confirm,
                       std::function<void(const Status& deleted)> done)>
        deleteOnHost;
    // The entries as a posting, in the order given, for the window to show and copy.
    std::function<std::string(const std::vector<HistoryEntry>& entries)> makePosting;
};

class HistoryWindow : public QDialog {
    Q_OBJECT
  public:
    // The strings and the dialogs must outlive the window.
    HistoryWindow(HistoryWindowEnv env, const UiStrings& strings, Dialogs& dialogs,
                  QWidget* parent = nullptr);
    ~HistoryWindow() override;

    [[nodiscard]] HistoryModel* Model() const { return model_; }
    // True until every entry is in the list (the newest come first, the rest from a worker).
    [[nodiscard]] bool Loading() const;
    // A deletion request is waiting for its host (the window must stay).
    [[nodiscard]] bool Busy() const { return busy_; }

  private:
    [[nodiscard]] QString Str(int entry) const;
    void Load();
    // The selected entries' view rows, top to bottom.
    [[nodiscard]] std::vector<int> SelectedRows() const;
    void CurrentChanged();
    void ShowPreview();
    void CopyCodes();
    void MakePosting();
    void OpenLink();
    void DeleteOnHost();
    void DeletionEnded(std::int64_t id, const Status& deleted);
    void Forget();

    HistoryWindowEnv env_;
    const UiStrings& strings_;
    Dialogs& dialogs_;
    HistoryStore store_;
    HistoryModel* model_;
    QLineEdit* txSearch_;
    QTableView* lvHistory_;
    QLabel* lbPreview_;
    QLabel* lbCount_;
    QTimer* previewTimer_;
    QFutureWatcher<std::vector<HistoryEntry>>* rest_ = nullptr;
    bool busy_ = false;
    QPushButton* cmCopyCodes_;
    QPushButton* cmPosting_;
    QPushButton* cmOpenLink_;
    QPushButton* cmDeleteOnHost_;
    QPushButton* cmForget_;
    HistoryPostingBox* posting_;
};

}  // namespace lumar::ui

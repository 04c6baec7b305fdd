#pragma once
// frmHosters: the rows of the hoster table with the chosen row's fields, taking definitions
// in (import, duplicate, a missing key) and out (export, delete), and a test upload of one
// image to the chosen row. Every change is written to the settings folder's hosters.d at once
// and announced, so the window that owns the table can reload it.
#include <QDialog>
#include <QStringList>
#include <atomic>
#include <string>
#include <vector>

#include "hosters/hoster_table.h"
#include "shell/language_table.h"
#include "upload/standard_upload.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace lumar {
struct ProbeResult;
}

namespace lumar::ui {

class Dialogs;

struct HostersWindowEnv {
    std::string settingsFolder;
    std::string dataFolder;
    std::string sampleImage;       // what the test sends; "" = ask for a file
    StandardUploadOptions upload;  // the transport of the test; the window sets the pump
    std::string settingsFile;      // Lumar.ini, which keeps the fallback row (Bilder/Ersatz)
    std::string chosenId;          // the row the main window has chosen
};

class HostersWindow : public QDialog {
    Q_OBJECT
  public:
    // The strings and the dialogs must outlive the window.
    HostersWindow(HostersWindowEnv env, const UiStrings& strings, Dialogs& dialogs,
                  QWidget* parent = nullptr);

    // Ends a running test before closing.
    void done(int result) override;

  signals:
    void HostersChanged();

  private:
    [[nodiscard]] QString Str(int entry) const;
    void Reload(const std::string& selectId);
    [[nodiscard]] const HosterDef& Selected() const;
    void ShowRow();
    void Changed(const std::string& selectId);
    void Import();
    void Export();
    void Delete();
    void Duplicate();
    void SaveKey();
    void RemoveKey();
    // Writes the chosen row with `key` in its key field as an own definition and says so.
    void StoreKey(const std::string& key);
    // The fallback choice: every row that can stand in, the stored one current.
    void FillFallbacks();
    void ChooseFallback(int index);
    void Test();
    void ShowTestResult(const ProbeResult& result);

    HostersWindowEnv env_;
    const UiStrings& strings_;
    Dialogs& dialogs_;
    HosterTable table_;
    std::atomic<bool> abort_{false};
    bool testing_ = false;

    QTreeWidget* lvHosters_;
    std::vector<QLineEdit*> fieldTexts_;  // the row's fields, in the form's order
    QLabel* lbKey_;
    QLineEdit* txKey_;
    QPushButton* cmSaveKey_;
    QPushButton* cmRemoveKey_;
    QLabel* lbKeyState_;
    QPushButton* cmExport_;
    QCheckBox* ckWithKeys_;
    QPushButton* cmDelete_;
    QPushButton* cmDuplicate_;
    QPushButton* cmTest_;
    QPlainTextEdit* txResult_;
    QComboBox* cbFallback_;  // item data: the row's ID, "" = none
    QLabel* lbFallbackState_;
};

// Imports the .sxcu files among `paths` into the settings folder's hosters.d and returns the
// other paths; refused files are named with their reasons in one message box. True in
// *imported when a file was taken.
QStringList ImportDroppedDefinitions(const QStringList& paths, const std::string& settingsFolder,
                                     const HosterTable& table, const UiStrings& strings,
                                     Dialogs& dialogs, QWidget* owner, bool* imported);

// Shows the window modally over `owner`; true when the rows changed.
bool ShowHostersWindow(QWidget* owner, HostersWindowEnv env, const UiStrings& strings,
                       Dialogs& dialogs);

}  // namespace lumar::ui

#pragma once
// cFileDialog: the one object through which every window of the program asks for a file to
// open or a name to save under. Each caller sets the properties it needs before each use; the
// object keeps them between uses. The dialog itself is behind FileDialogBackend, so tests (and
// the demo) can answer it without a window.
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QFileDialog;
class QWidget;

namespace lumar::ui {

// Option bits of `flags`.
inline constexpr int kOverwritePrompt = 2;  // Save: ask before replacing a file
inline constexpr int kAllowMultiSelect = 512;
inline constexpr int kFileMustExist = 4096;

// What the dialog is asked.
struct FileDialogRequest {
    bool save = false;
    QString title;  // empty: the platform's default title
    QString initialFolder;
    QString fileName;         // offered name (may be empty)
    QStringList nameFilters;  // Qt form, "JPEG (*.jpg;*.jpeg) (*.jpg *.jpeg)"
    int filterIndex = 0;      // 0-based into nameFilters
    QString defaultSuffix;    // without dot
    bool multiple = false;
    bool mustExist = false;
    bool confirmOverwrite = false;
    QWidget* owner = nullptr;
};

// What the user answered.
struct FileDialogAnswer {
    bool accepted = false;
    QStringList files;    // absolute paths
    int filterIndex = 0;  // 0-based
};

class FileDialogBackend {
  public:
    virtual ~FileDialogBackend() = default;
    virtual FileDialogAnswer Run(const FileDialogRequest& request) = 0;
};

// The desktop's dialog through QFileDialog.
class QtFileDialogBackend : public FileDialogBackend {
  public:
    FileDialogAnswer Run(const FileDialogRequest& request) override;
    // Split out so the settings can be checked on a dialog that is never shown.
    static void Configure(QFileDialog& dialog, const FileDialogRequest& request);
    static FileDialogAnswer Answer(const QFileDialog& dialog, bool accepted);
};

// Thrown by ShowOpen/ShowSave on cancel when CancelError is set (no caller here sets it).
class FileDialogCancelled : public std::runtime_error {
  public:
    explicit FileDialogCancelled(std::string source)
        : std::runtime_error("User selected cancel."), source_(std::move(source)) {}
    static constexpr int kNumber = 32755;
    [[nodiscard]] const std::string& Source() const { return source_; }

  private:
    std::string source_;
};

// Display text / pattern pairs of a filter text: parts separated by "|" or ":", taken two by
// two ("JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg"). A display text without pattern is dropped.
std::vector<std::pair<std::string, std::string>> SplitFilter(std::string_view filter);
// The filter as Qt name filters: the display text followed by the patterns in parentheses.
QStringList QtNameFilters(std::string_view filter);

class cFileDialog {
  public:
    explicit cFileDialog(std::unique_ptr<FileDialogBackend> backend = nullptr);
    void SetBackend(std::unique_ptr<FileDialogBackend> backend);

    // Properties (UTF-8 text).
    [[nodiscard]] bool CancelError() const { return cancelError_; }
    void SetCancelError(bool value) { cancelError_ = value; }
    // Before showing: the offered name. After a confirmed Open with kAllowMultiSelect: the
    // multi-selection result (see ParseMultiFileName); otherwise the chosen path. Unchanged on
    // cancel.
    [[nodiscard]] const std::string& Filename() const { return filename_; }
    void SetFilename(std::string value) { filename_ = std::move(value); }
    [[nodiscard]] const std::string& FileTitle() const { return fileTitle_; }
    void SetFileTitle(std::string value) { fileTitle_ = std::move(value); }
    [[nodiscard]] const std::string& Filter() const { return filter_; }
    void SetFilter(std::string value) { filter_ = std::move(value); }
    // 1-based; after a confirmed dialog, the filter the user chose.
    [[nodiscard]] int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int value) { filterIndex_ = value; }
    [[nodiscard]] const std::string& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(std::string value) { defaultExt_ = std::move(value); }
    // Unset: the platform's title.
    [[nodiscard]] const std::string& DialogTitle() const { return dialogTitle_; }
    void SetDialogTitle(std::string value) { dialogTitle_ = std::move(value); }
    [[nodiscard]] int flags() const { return flags_; }
    void setFlags(int value) { flags_ = value; }
    [[nodiscard]] QWidget* hwnd() const { return owner_; }
    void setHwnd(QWidget* owner) { owner_ = owner; }
    [[nodiscard]] const std::string& InitDir() const { return initDir_; }
    void SetInitDir(std::string value) { initDir_ = std::move(value); }

    // Show the dialog; true when the user confirmed.
    bool ShowOpen();
    bool ShowSave();

  private:
    [[nodiscard]] FileDialogRequest Request(bool save) const;
    bool Finish(const FileDialogAnswer& answer, bool multiResult);

    std::unique_ptr<FileDialogBackend> backend_;
    bool cancelError_ = false;
    std::string filename_;
    std::string fileTitle_;
    std::string filter_;
    int filterIndex_ = 1;
    std::string defaultExt_;
    std::string dialogTitle_;
    int flags_ = 0;
    QWidget* owner_ = nullptr;
    std::string initDir_;
};

}  // namespace lumar::ui

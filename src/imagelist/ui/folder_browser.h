#pragma once
// frmBrowseFolder: the modal dialog in which the user picks a folder whose picture files are
// added to the image list, with or without its subfolders. On OK it scans the folder itself
// and appends the rows; the main window refreshes preview, summary and buttons afterwards.
#include <QDialog>
#include <string>

#include "imagelist/add_images.h"

class QCheckBox;
class QPushButton;

namespace lumar::ui {

class DirTree;

class frmBrowseFolder : public QDialog {
    Q_OBJECT

  public:
    // `settingsFile` holds Verzeichnis/LastAddDir and SubDir; captions come from section Frame4
    // of `languageFile` (German defaults when it has none).
    frmBrowseFolder(ImageList& list, std::string settingsFile, AddOptions options,
                    const std::string& languageFile, QWidget* parent = nullptr);

    [[nodiscard]] DirTree* Tree() const { return tree_; }
    // Rows appended by OK; 0 before and after cancel.
    [[nodiscard]] int AddedRows() const { return added_; }

  private:
    void OnOk();

    ImageList& list_;
    std::string settingsFile_;
    AddOptions options_;
    DirTree* tree_;
    QCheckBox* subDirs_;
    QPushButton* ok_;
    QPushButton* cancel_;
    int added_ = 0;
};

}  // namespace lumar::ui

#pragma once
// DirTree: the folders of the computer as a tree (desktop, computer, drives, the user's special
// folders), with subfolders loaded only when a node is opened. A folder node shows an expand
// button only when the folder has at least one subfolder.
#include <QIcon>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "imagelist/mount_table.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace lumar::ui {

class DirTree : public QWidget {
    Q_OBJECT
    // Reading: the key of the selected folder node (a folder ending in the separator), or the
    // stored path when no folder node is selected. Writing: see setPath.
    Q_PROPERTY(QString Path READ Path WRITE setPath NOTIFY ChangePath)

  public:
    // Keys of the two nodes that are not folders.
    static inline const QString kRootKey = QStringLiteral("Root_WorkSpace");
    static inline const QString kComputerKey = QStringLiteral("Root_MyComputer");

    struct SpecialFolder {
        QString caption;
        QString path;
        QString iconName;        // desktop-theme icon name
        bool belowRoot = false;  // else below the computer node
    };

    explicit DirTree(QWidget* parent = nullptr);

    // The drives and special folders shown; by default the mounted drives and the user's home,
    // documents and desktop folders. Takes effect with the next rebuild.
    void SetDrives(std::vector<MountedDrive> drives);
    void SetSpecialFolders(std::vector<SpecialFolder> folders);
    // The language file the drive captions come from. Takes effect with the next rebuild.
    void SetLanguageFile(std::string file) { languageFile_ = std::move(file); }

    [[nodiscard]] QString Path() const;
    // Stores the path (with a trailing separator added), rebuilds the tree, opens the nodes
    // down to the folder, selects it and raises ChangePath with the stored path. Folder names
    // are compared exactly (case-sensitive file systems); a level that is not found ends the
    // walk there and leaves the folder unselected.
    void setPath(const QString& path);
    // Stores the path and rebuilds the tree; no selection, no event.
    void SetPath(const QString& path);

    [[nodiscard]] QTreeWidget* Tree() const { return tree_; }
    // The node with this key among the loaded nodes, or nullptr.
    [[nodiscard]] QTreeWidgetItem* FindNode(const QString& key) const;
    static QString KeyOf(const QTreeWidgetItem* node);
    // True while the node's children are not loaded yet (it shows the placeholder).
    static bool IsUnloaded(const QTreeWidgetItem* node);

  signals:
    // A click in the tree (the node's key), a node opened for the first time (its key), or
    // the path written.
    void ChangePath(const QString& path);
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void KeyPress(const QString& text);
    void KeyUp(int key, Qt::KeyboardModifiers modifiers);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Rebuild();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& caption, const QString& key,
                             const QIcon& icon);
    void AddPlaceholder(QTreeWidgetItem* node, const QString& key);
    void OnExpanded(QTreeWidgetItem* node);
    void LoadChildren(QTreeWidgetItem* node);

    QTreeWidget* tree_;
    QString stored_;
    std::vector<MountedDrive> drives_;
    std::string languageFile_;
    std::vector<SpecialFolder> specialFolders_;
    bool drivesSet_ = false;
    bool specialSet_ = false;
};

}  // namespace lumar::ui

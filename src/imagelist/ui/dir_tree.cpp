#include "imagelist/ui/dir_tree.h"

#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QKeyEvent>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/language_table.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kTagRole = Qt::UserRole + 1;  // 0: children not loaded yet, 1: loaded
constexpr int kPlaceholderRole = Qt::UserRole + 2;

QString WithSeparator(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

QIcon ThemeIcon(const QString& name, QAbstractFileIconProvider::IconType fallback) {
    static QFileIconProvider provider;
    return QIcon::fromTheme(name, provider.icon(fallback));
}

// Subfolders as the tree lists them: by name, hidden ones left out like the file manager does.
QStringList Subfolders(const QString& folder) {
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

bool HasSubfolder(const QString& folder) {
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot);
    return it.hasNext();
}

std::vector<DirTree::SpecialFolder> UserFolders() {
    std::vector<DirTree::SpecialFolder> out;
    const auto add = [&](QStandardPaths::StandardLocation location, const QString& icon,
                         bool belowRoot) {
        const QString path = QStandardPaths::writableLocation(location);
        if (path.isEmpty() || !QDir(path).exists()) return;
        for (const DirTree::SpecialFolder& f : out)
            if (f.path == path) return;
        out.push_back({QDir(path).dirName(), path, icon, belowRoot});
    };
    add(QStandardPaths::HomeLocation, QStringLiteral("user-home"), false);
    add(QStandardPaths::DocumentsLocation, QStringLiteral("folder-documents"), false);
    add(QStandardPaths::DesktopLocation, QStringLiteral("user-desktop"), true);
    return out;
}

}  // namespace

DirTree::DirTree(QWidget* parent) : QWidget(parent), tree_(new QTreeWidget(this)) {
    tree_->setObjectName(QStringLiteral("TreeView1"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setUniformRowHeights(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    tree_->installEventFilter(this);
    connect(tree_, &QTreeWidget::itemExpanded, this, &DirTree::OnExpanded);
    connect(tree_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { emit ChangePath(KeyOf(node)); });
}

void DirTree::SetDrives(std::vector<MountedDrive> drives) {
    drives_ = std::move(drives);
    drivesSet_ = true;
}

void DirTree::SetSpecialFolders(std::vector<SpecialFolder> folders) {
    specialFolders_ = std::move(folders);
    specialSet_ = true;
}

QString DirTree::KeyOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, kKeyRole).toString() : QString();
}

bool DirTree::IsUnloaded(const QTreeWidgetItem* node) {
    return node && node->data(0, kTagRole).toInt() == 0;
}

QString DirTree::Path() const {
    const QTreeWidgetItem* node = tree_->currentItem();
    if (node == nullptr || !node->isSelected()) return stored_;
    QString key = KeyOf(node);
    // The desktop and computer nodes are no folders: nothing to add from there.
    if (key == kRootKey || key == kComputerKey) return QString();
    return key;
}

void DirTree::SetPath(const QString& path) {
    stored_ = path;
    Rebuild();
}

void DirTree::setPath(const QString& path) {
    stored_ = WithSeparator(path);
    Rebuild();
    // The drive whose mount point is the longest start of the path.
    QTreeWidgetItem* node = nullptr;
    if (QTreeWidgetItem* computer = FindNode(kComputerKey)) {
        for (int i = 0; i < computer->childCount(); ++i) {
            QTreeWidgetItem* drive = computer->child(i);
            const QString key = KeyOf(drive);
            if (key.startsWith(QLatin1Char('/')) && stored_.startsWith(key) &&
                (node == nullptr || key.size() > KeyOf(node).size()) &&
                std::any_of(drives_.begin(), drives_.end(),
                            [&](const MountedDrive& d) { return ToQ(d.mountPoint) == key; }))
                node = drive;
        }
    }
    if (node != nullptr) {
        node->setExpanded(true);
        QString prefix = KeyOf(node);
        const QStringList parts =
            stored_.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            prefix += part + QLatin1Char('/');
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < node->childCount() && next == nullptr; ++i)
                if (KeyOf(node->child(i)) == prefix) next = node->child(i);
            if (next == nullptr) break;
            node = next;
            node->setExpanded(true);
        }
        if (KeyOf(node) == stored_) {
            tree_->setCurrentItem(node);
            tree_->scrollToItem(node);
        } else {
            tree_->clearSelection();
            tree_->setCurrentItem(nullptr);
        }
    }
    emit ChangePath(stored_);
}

QTreeWidgetItem* DirTree::FindNode(const QString& key) const {
    QTreeWidgetItemIterator it(tree_);
    for (; *it; ++it)
        if (KeyOf(*it) == key && !(*it)->data(0, kPlaceholderRole).toBool()) return *it;
    return nullptr;
}

QTreeWidgetItem* DirTree::AddNode(QTreeWidgetItem* parent, const QString& caption,
                                  const QString& key, const QIcon& icon) {
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    node->setText(0, caption);
    node->setIcon(0, icon);
    node->setData(0, kKeyRole, key);
    node->setData(0, kTagRole, 1);
    return node;
}

void DirTree::AddPlaceholder(QTreeWidgetItem* node, const QString& key) {
    node->setData(0, kTagRole, 0);
    auto* placeholder = new QTreeWidgetItem(node);
    placeholder->setData(0, kKeyRole, key);
    placeholder->setData(0, kPlaceholderRole, true);
}

void DirTree::Rebuild() {
    const QSignalBlocker blocker(tree_);
    tree_->clear();
    if (!drivesSet_) drives_ = MountedDrives();
    if (!specialSet_) specialFolders_ = UserFolders();
    QTreeWidgetItem* root =
        AddNode(nullptr, tr("Desktop"), kRootKey,
                ThemeIcon(QStringLiteral("user-desktop"), QAbstractFileIconProvider::Desktop));
    QTreeWidgetItem* computer =
        AddNode(root, tr("Computer"), kComputerKey,
                ThemeIcon(QStringLiteral("computer"), QAbstractFileIconProvider::Computer));
    const DriveKindCaptions captions{LookupString(languageFile_, kStrFixedDrive),
                                     LookupString(languageFile_, kStrRemovableDrive),
                                     LookupString(languageFile_, kStrNetworkDrive)};
    for (const MountedDrive& drive : drives_) {
        QString icon = QStringLiteral("drive-harddisk");
        auto fallback = QAbstractFileIconProvider::Drive;
        if (drive.kind == DriveKind::kRemovable) icon = QStringLiteral("drive-removable-media");
        if (drive.kind == DriveKind::kNetwork) {
            icon = QStringLiteral("folder-remote");
            fallback = QAbstractFileIconProvider::Network;
        }
        const QString key = ToQ(drive.mountPoint);
        QTreeWidgetItem* node =
            AddNode(computer, ToQ(DriveCaption(drive, captions)), key, ThemeIcon(icon, fallback));
        AddPlaceholder(node, key + QStringLiteral("_empty_child"));
    }
    root->setExpanded(true);
    computer->setExpanded(true);
    for (const SpecialFolder& folder : specialFolders_) {
        const QString key = WithSeparator(folder.path);
        QTreeWidgetItem* node =
            AddNode(folder.belowRoot ? root : computer, folder.caption, key,
                    ThemeIcon(folder.iconName, QAbstractFileIconProvider::Folder));
        AddPlaceholder(node, key + QStringLiteral("_empty_child"));
    }
}

void DirTree::OnExpanded(QTreeWidgetItem* node) {
    if (!IsUnloaded(node)) return;
    LoadChildren(node);
    tree_->setCurrentItem(node);
    emit ChangePath(KeyOf(node));
}

void DirTree::LoadChildren(QTreeWidgetItem* node) {
    // The tag goes to 1 first: whatever the listing finds, the node is not loaded again.
    node->setData(0, kTagRole, 1);
    while (node->childCount() > 0 && node->child(0)->data(0, kPlaceholderRole).toBool())
        delete node->takeChild(0);
    const QString folder = KeyOf(node);
    const QIcon icon = ThemeIcon(QStringLiteral("folder"), QAbstractFileIconProvider::Folder);
    // An unreadable folder lists nothing and shows no children; no message.
    for (const QString& name : Subfolders(folder)) {
        const QString path = folder + name + QLatin1Char('/');
        QTreeWidgetItem* child = AddNode(node, name, path, icon);
        if (HasSubfolder(path)) AddPlaceholder(child, path + QLatin1Char('a'));
    }
}

bool DirTree::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            emit KeyDown(key->key(), key->modifiers());
            if (!key->text().isEmpty()) emit KeyPress(key->text());
        } else if (event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            emit KeyUp(key->key(), key->modifiers());
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace lumar::ui

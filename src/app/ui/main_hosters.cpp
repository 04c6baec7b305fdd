// The main window's side of the hoster rows: the hosters window, definitions dropped on the
// window, and the reload of the table after either changed it.
#include <QDropEvent>
#include <QMetaObject>
#include <QMimeData>
#include <QPushButton>
#include <algorithm>

#include "app/ui/main_window.h"
#include "hosters/hoster_rows.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "session/run_setup.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/ui/dropped_paths.h"
#include "shell/ui/qt_text.h"
#include "upload/ui/hoster_frame.h"
#include "upload/ui/hosters_window.h"

namespace lumar::ui {
namespace {

bool HoldsDefinition(const QStringList& paths) {
    return std::any_of(paths.begin(), paths.end(), [](const QString& path) {
        return path.endsWith(QStringLiteral(".sxcu"), Qt::CaseInsensitive);
    });
}

}  // namespace

void MainWindow::ReloadHosters() {
    const std::string chosen = hosters_.Row(hosterFrame_->SelectedRow()).Id;
    hosters_ = LoadHosterRows(session_.Paths().configFolder, session_.Paths().dataFolder);
    hosterFrame_->SetHosters(hosters_);
    hosterFrame_->SelectHoster(std::max(FindHosterRow(hosters_, chosen), 1) - 1);
}

void MainWindow::OpenHosters(QWidget* owner) {
    HostersWindowEnv env;
    env.settingsFolder = session_.Paths().configFolder;
    env.dataFolder = session_.Paths().dataFolder;
    env.settingsFile = settingsFile_;
    env.chosenId = hosters_.Row(hosterFrame_->SelectedRow()).Id;
    // The chosen image of the list is what the user wants to see on the host.
    for (int position : list_.SelectedRows())
        if (!list_.Row(position).folder.empty()) {
            env.sampleImage = list_.Row(position).FullPath();
            break;
        }
    env.upload.transport = TransportFromSettings(settingsFile_);
    if (ShowHostersWindow(owner, std::move(env), strings_, *hooks_.dialogs)) ReloadHosters();
}

bool MainWindow::DropDefinitions(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList paths = LocalPaths(drop->mimeData());
    if (run_ || !HoldsDefinition(paths)) return false;
    if (event->type() != QEvent::Drop) {
        drop->acceptProposedAction();
        return true;
    }
    drop->acceptProposedAction();
    bool imported = false;
    const QStringList rest = ImportDroppedDefinitions(
        paths, session_.Paths().configFolder, hosters_, strings_, *hooks_.dialogs, this, &imported);
    if (imported) ReloadHosters();
    // The images of the same drop go to the list as if dropped alone.
    if (!rest.isEmpty())
        QMetaObject::invokeMethod(
            listPanel_, [panel = listPanel_, rest] { panel->AddDroppedPaths(rest); },
            Qt::QueuedConnection);
    return true;
}

}  // namespace lumar::ui

// lumar: the desktop program.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "app/ui/main_window.h"
#include "app/ui/single_instance.h"
#include "session/session.h"
#include "shell/config_paths.h"
#include "shell/settings_keys.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_translations.h"
#include "shell/ui/settings_warning.h"
#include "shell/ui/update_check_ui.h"
#include "upload/socket_layer.h"

namespace {

// The value after `name` on the command line, or an empty text.
QString ArgumentValue(const QStringList& args, const QString& name) {
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
}

// The files and folders to open: every argument that is no option nor an option's value, made
// absolute so that another start can take them from a different working folder.
QStringList PathArguments(const QStringList& args) {
    QStringList paths;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == "--config-dir" || args.at(i) == "--screenshot")
            ++i;
        else if (args.at(i) != "--no-update-check")
            paths << QFileInfo(args.at(i)).absoluteFilePath();
    }
    return paths;
}

}  // namespace

int main(int argc, char** argv) {
    lumar::ReserveStandardDescriptors();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lumar");
    QApplication::setApplicationVersion(LUMAR_VERSION);
    // The window stays alive in the notification area; only the close image ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();
    // --config-dir DIR chooses the settings folder, as for lumar-cli.
    lumar::InitConfigFolder(ArgumentValue(args, "--config-dir").toStdString());
    const QStringList openPaths = PathArguments(args);
    const QString screenshot = ArgumentValue(args, "--screenshot");

    // One window per settings folder; a picture of the window is taken by a start of its own.
    const QString configFolder = QString::fromStdString(lumar::ConfigFolder());
    lumar::ui::SingleInstance instance(configFolder,
                                       lumar::ui::SingleInstance::SocketFolderFor(configFolder));
    if (screenshot.isEmpty() &&
        instance.ClaimOrHandOver(openPaths, qEnvironmentVariable("XDG_ACTIVATION_TOKEN")) ==
            lumar::ui::SingleInstance::Claim::HandedOver)
        return 0;

    // What this run works on; the window and its panels are handed it, none reaches for it.
    lumar::Session session(lumar::SessionPaths::FromConfigFolder());
    lumar::ui::LoadQtTranslations(session.LanguageFile());

    lumar::ui::MainWindowHooks hooks;
    // --no-update-check skips the version check (offline use, screenshots).
    if (!args.contains("--no-update-check")) {
        hooks.updateCheck = [&session](QWidget* owner) {
            lumar::ui::UpdateCheckHooks check;
            check.languageFile = session.LanguageFile();
            return lumar::ui::RunUpdateCheck(owner, session.SettingsFile(), check) ==
                   lumar::ui::UpdateCheckOutcome::Continue;
        };
    }
    lumar::ui::MainWindow window(session, hooks);
    QObject::connect(&instance, &lumar::ui::SingleInstance::pathsArrived, &window,
                     [&window](const QStringList& paths, const QString& activationToken) {
                         window.OpenPaths(paths);
                         if (window.Started() && !window.Quitting())
                             window.BringToFront(activationToken);
                     });
    if (!window.Start()) return 0;
    window.show();
    window.OpenPaths(openPaths);
    lumar::ui::WarnIfSettingsUnwritable(&window, *lumar::ui::ModalDialogs(), window.Strings(),
                                        session.Paths().configFolder);
    // --screenshot FILE saves a picture of the window once it is on screen and ends.
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(800, &window, [&window, screenshot] {
            const bool saved = window.grab().save(screenshot);
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}

// lumar: the desktop program.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <ctime>
#include <string>
#include <vector>

#include "app/ui/main_window.h"
#include "app/ui/single_instance.h"
#include "imagelist/captures.h"
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
        if (args.at(i) == "--config-dir" || args.at(i) == "--grab-window")
            ++i;
        else if (args.at(i) != "--no-update-check" && args.at(i) != "--screenshot")
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
    const QString grabWindow = ArgumentValue(args, "--grab-window");
    // --screenshot asks the desktop for a screenshot, in the running window when there is one.
    const bool screenshot = args.contains("--screenshot");

    // One window per settings folder; a picture of the window is taken by a start of its own.
    const QString configFolder = QString::fromStdString(lumar::ConfigFolder());
    lumar::ui::SingleInstance instance(configFolder,
                                       lumar::ui::SingleInstance::SocketFolderFor(configFolder));
    using Claim = lumar::ui::SingleInstance::Claim;
    const Claim claim =
        grabWindow.isEmpty()
            ? instance.ClaimOrHandOver(openPaths, qEnvironmentVariable("XDG_ACTIVATION_TOKEN"),
                                       screenshot)
            : Claim::kAlone;
    if (claim == Claim::kHandedOver) return 0;

    // What this run works on; the window and its panels are handed it, none reaches for it.
    lumar::Session session(lumar::SessionPaths::FromConfigFolder());
    lumar::ui::LoadQtTranslations(session.LanguageFile());
    // Old captures go while no window holds them in its list: only the first start may know.
    if (claim == Claim::kFirst) {
        std::vector<std::string> keep;
        for (const QString& path : openPaths) keep.push_back(path.toStdString());
        lumar::TidyCaptures(session.Paths().capturesFolder,
                            lumar::ReadIntSetting(session.SettingsFile(), lumar::keys::CaptureDays),
                            keep, std::time(nullptr));
    }

    lumar::ui::MainWindowHooks hooks;
    // --no-update-check skips the version check (offline use, screenshots).
    if (!args.contains("--no-update-check")) {
        hooks.updateCheck = [&session](QWidget* owner) {
            lumar::ui::UpdateCheckHooks check;
            check.languageFile = session.LanguageFile();
            return lumar::ui::RunUpdateCheck(owner, session.SettingsFile(), check) ==
                   lumar::ui::UpdateCheckOutcome::kContinue;
        };
    }
    lumar::ui::MainWindow window(session, hooks);
    QObject::connect(&instance, &lumar::ui::SingleInstance::PathsArrived, &window,
                     [&window](const QStringList& paths, const QString& activationToken) {
                         window.OpenPaths(paths);
                         if (window.Started() && !window.Quitting())
                             window.BringToFront(activationToken);
                     });
    QObject::connect(&instance, &lumar::ui::SingleInstance::ScreenshotRequested, &window,
                     [&window] {
                         if (window.Started() && !window.Quitting()) window.TakeScreenshot();
                     });
    if (!window.Start()) return 0;
    window.show();
    window.OpenPaths(openPaths);
    lumar::ui::WarnIfSettingsUnwritable(&window, *lumar::ui::ModalDialogs(), window.Strings(),
                                        session.Paths().configFolder);
    // --grab-window FILE saves a picture of the window once it is on screen and ends.
    if (!grabWindow.isEmpty()) {
        QTimer::singleShot(800, &window, [&window, grabWindow] {
            const bool saved = window.grab().save(grabWindow);
            QApplication::exit(saved ? 0 : 1);
        });
    } else if (screenshot) {
        QTimer::singleShot(0, &window, [&window] { window.TakeScreenshot(); });
    }
    return QApplication::exec();
}

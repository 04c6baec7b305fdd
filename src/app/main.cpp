// lumar: the desktop program.
#include <QApplication>

#include "shell/config_paths.h"
#include "shell/ui/main_window.h"

namespace {

// --config-dir DIR chooses the settings folder, as for lumar-cli.
QString ConfigDirArgument(const QStringList& args) {
    const int at = args.indexOf("--config-dir");
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lumar");
    QApplication::setApplicationVersion(LUMAR_VERSION);
    lumar::InitConfigFolder(ConfigDirArgument(QApplication::arguments()).toStdString());
    lumar::ui::MainWindow window;
    window.show();
    return QApplication::exec();
}

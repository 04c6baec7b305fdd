#include "shell/ui/dropped_paths.h"

#include <QMimeData>
#include <QUrl>

namespace lumar::ui {

QStringList LocalPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

}  // namespace lumar::ui

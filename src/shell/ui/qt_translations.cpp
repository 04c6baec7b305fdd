#include "shell/ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include "shell/language_table.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

bool LoadQtTranslations(const std::string& languageFile) {
    // One translator for the program's lifetime, owned by the application object.
    static QPointer<QTranslator> translator;
    if (!translator) translator = new QTranslator(QCoreApplication::instance());
    QCoreApplication::removeTranslator(translator);
    const QLocale language(ToQ(LookupString(languageFile, kStrLanguageCode)));
    const bool loaded = translator->load(language, QStringLiteral("qtbase"), QStringLiteral("_"),
                                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded) QCoreApplication::installTranslator(translator);
    return loaded;
}

}  // namespace lumar::ui

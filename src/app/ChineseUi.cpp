#include "app/ChineseUi.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Where Qt keeps its translations; Debian's qt6-translations-l10n installs them in
// the last folder, which is also where a Qt built elsewhere may not look.
QStringList translationFolders()
{
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            QStringLiteral("/usr/share/qt6/translations")};
}

} // namespace

bool useChineseUi(QCoreApplication &app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    for (const QString &folder : translationFolders()) {
        auto *translator = new QTranslator(&app);
        if (translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
        delete translator;
    }
    return false;
}

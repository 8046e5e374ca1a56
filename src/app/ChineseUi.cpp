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

// Texts of Qt that its zh_CN translation does not hold (the file dialog's types).
class MissingQtTexts : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const std::pair<const char *, const char *> texts[] = {
            {"Folder", "文件夹"},
            {"File", "文件"},
            {"Drive", "驱动器"},
            {"%1 File", "%1 文件"},
        };
        for (const auto &[english, chinese] : texts)
            if (qstrcmp(source, english) == 0)
                return QString::fromUtf8(chinese);
        return {};
    }
};

} // namespace

void chooseChineseLocale()
{
    qputenv("LC_ALL", "zh_CN.UTF-8");
}

bool useChineseUi(QCoreApplication &app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    QCoreApplication::installTranslator(new MissingQtTexts(&app));
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

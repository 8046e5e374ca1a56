#include "core/books/AutoBackup.h"

#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace AutoBackup {
namespace {

Clock g_clock;

QDateTime now()
{
    return g_clock ? g_clock() : QDateTime::currentDateTime();
}

// File names are "yyyy-MM-dd_HHmmss.db", so that name order is time order.
const QString NameFormat = QStringLiteral("yyyy-MM-dd_HHmmss");
const QString Suffix = QStringLiteral(".db");

QDateTime timeOfName(const QString &fileName)
{
    if (!fileName.endsWith(Suffix))
        return {};
    return QDateTime::fromString(fileName.chopped(Suffix.size()), NameFormat);
}

// Only files named by this module count; anything else in the folder is left alone.
QStringList ownFileNames(const QString &folder = AutoBackup::folder())
{
    QStringList names;
    const QStringList all =
        QDir(folder).entryList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Name);
    for (const QString &name : all)
        if (timeOfName(name).isValid())
            names.prepend(name); // newest first
    return names;
}

void removeOld(const QString &folder)
{
    const QStringList names = ownFileNames(folder);
    for (qsizetype i = Kept; i < names.size(); ++i)
        QFile::remove(QDir(folder).filePath(names[i]));
}

} // namespace

QString folder()
{
    return Workspace::instance()->dataDir() + QStringLiteral("/自动备份");
}

void setClock(Clock clock)
{
    g_clock = std::move(clock);
}

QString dueFile()
{
    const QDateTime taken = now();
    const QString day = taken.toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString &name : ownFileNames())
        if (name.startsWith(day))
            return QString();

    if (!QDir().mkpath(folder()) || !QFileInfo(folder()).isDir())
        throw DbError(QStringLiteral("无法创建文件夹 ") + QDir::toNativeSeparators(folder()));
    return QDir(folder()).filePath(taken.toString(NameFormat) + Suffix);
}

void write(const QString &file, Background::Context *work)
{
    BookStore::backupTo(file, work);
    removeOld(QFileInfo(file).absolutePath());
}

QString runIfDue()
{
    const QString file = dueFile();
    if (!file.isEmpty())
        write(file);
    return file;
}

QStringList list()
{
    QStringList paths;
    for (const QString &name : ownFileNames())
        paths << QDir(folder()).filePath(name);
    return paths;
}

QString takenAt(const QString &path)
{
    const QDateTime time = timeOfName(QFileInfo(path).fileName());
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace AutoBackup

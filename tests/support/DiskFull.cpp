#include "support/DiskFull.h"

#include <QFile>
#include <QtGlobal>
#include <atomic>
#include <sqlite3.h>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace {

// The layer's file: its methods, then the file of the system's own layer.
struct File
{
    sqlite3_file base;
    sqlite3_file *real;
    bool dataFile;
};

sqlite3_vfs *g_system = nullptr;
sqlite3_vfs g_layer;
sqlite3_io_methods g_methods;
std::atomic<bool> g_full = false;

sqlite3_file *realOf(sqlite3_file *file)
{
    return reinterpret_cast<File *>(file)->real;
}

int writeTo(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    sqlite3_file *real = realOf(file);
    sqlite3_int64 size = 0;
    if (g_full && reinterpret_cast<File *>(file)->dataFile &&
        (real->pMethods->xFileSize(real, &size) != SQLITE_OK || offset + amount > size))
        return SQLITE_FULL;
    return real->pMethods->xWrite(real, data, amount, offset);
}

int openFile(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *own = reinterpret_cast<File *>(file);
    own->real = reinterpret_cast<sqlite3_file *>(own + 1);
    own->dataFile = flags & SQLITE_OPEN_MAIN_DB;
    const int rc = g_system->xOpen(g_system, name, own->real, flags, outFlags);
    own->base.pMethods = own->real->pMethods ? &g_methods : nullptr;
    return rc;
}

// Version 1 of the file methods: no shared memory (the journal is a rollback
// journal) and no memory mapping, so that every write comes through xWrite.
sqlite3_io_methods methods()
{
    sqlite3_io_methods m{};
    m.iVersion = 1;
    m.xClose = [](sqlite3_file *f) { return realOf(f)->pMethods->xClose(realOf(f)); };
    m.xRead = [](sqlite3_file *f, void *data, int amount, sqlite3_int64 offset) {
        return realOf(f)->pMethods->xRead(realOf(f), data, amount, offset);
    };
    m.xWrite = writeTo;
    m.xTruncate = [](sqlite3_file *f, sqlite3_int64 size) {
        return realOf(f)->pMethods->xTruncate(realOf(f), size);
    };
    m.xSync = [](sqlite3_file *f, int flags) {
        return realOf(f)->pMethods->xSync(realOf(f), flags);
    };
    m.xFileSize = [](sqlite3_file *f, sqlite3_int64 *size) {
        return realOf(f)->pMethods->xFileSize(realOf(f), size);
    };
    m.xLock = [](sqlite3_file *f, int lock) { return realOf(f)->pMethods->xLock(realOf(f), lock); };
    m.xUnlock = [](sqlite3_file *f, int lock) {
        return realOf(f)->pMethods->xUnlock(realOf(f), lock);
    };
    m.xCheckReservedLock = [](sqlite3_file *f, int *out) {
        return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
    };
    m.xFileControl = [](sqlite3_file *f, int op, void *arg) {
        return realOf(f)->pMethods->xFileControl(realOf(f), op, arg);
    };
    m.xSectorSize = [](sqlite3_file *f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); };
    m.xDeviceCharacteristics = [](sqlite3_file *f) {
        return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
    };
    return m;
}

} // namespace

DiskFull::DiskFull()
{
    g_system = sqlite3_vfs_find(nullptr);
    g_methods = methods();
    // The system's layer but for how it opens files: its other calls work for any
    // layer (only its xOpen reads the layer's own data).
    g_layer = *g_system;
    g_layer.pNext = nullptr;
    g_layer.zName = "qinghebu-diskfull";
    g_layer.szOsFile = int(sizeof(File)) + g_system->szOsFile;
    g_layer.xOpen = openFile;
    g_full = false;
    if (sqlite3_vfs_register(&g_layer, 1) != SQLITE_OK)
        qFatal("the full disk's layer is not registered");
}

DiskFull::~DiskFull()
{
    sqlite3_vfs_unregister(&g_layer);
    g_full = false;
}

void DiskFull::fill()
{
    g_full = true;
}

void DiskFull::free()
{
    g_full = false;
}

FullFolder::FullFolder()
{
#ifdef Q_OS_LINUX
    const QByteArray path = QFile::encodeName(m_dir.path());
    m_mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") == 0;
    if (!m_mounted)
        return;
    QFile filler(m_dir.filePath(QStringLiteral("filler")));
    if (filler.open(QIODevice::WriteOnly))
        while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush())
            ;
#endif
}

FullFolder::~FullFolder()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
}

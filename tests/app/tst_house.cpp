#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>

// The source folders are rooms on floors: a room includes only rooms on the floors
// below it, never one beside or above it, so there is no circle between rooms and
// everything that holds no widget stays below the windows.
class TestHouse : public QObject
{
    Q_OBJECT
private slots:
    void everyIncludePointsDown();
};

namespace {

const QHash<QString, int> &floors()
{
    static const QHash<QString, int> floors = {
        {"data", 0},          {"core/ledger", 1}, {"core/books", 2}, {"core/reports", 2},
        {"core/planning", 3}, {"core/bills", 3},  {"core/sync", 3},  {"widgets", 4},
        {"books", 5},         {"reference", 5},   {"entries", 5},    {"reports", 5},
        {"planning", 5},      {"history", 5},     {"import", 5},     {"sync", 5},
        {"app", 6},
    };
    return floors;
}

// "core/ledger" for core/ledger/Ledger.h, "widgets" for widgets/ListWindow.h.
QString roomOf(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    return parts.first() == QLatin1String("core") ? parts.mid(0, 2).join(QLatin1Char('/'))
                                                  : parts.first();
}

} // namespace

void TestHouse::everyIncludePointsDown()
{
    const QDir src(QStringLiteral(QINGHEBU_FIXTURES "/../../src"));
    QVERIFY(src.exists(QStringLiteral("data")));
    static const QRegularExpression include(QStringLiteral("^#include \"([^\"]+)\""),
                                            QRegularExpression::MultilineOption);
    QStringList wrong;
    int files = 0;
    for (QDirIterator it(src.path(), {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = src.relativeFilePath(it.next());
        const QString room = roomOf(path);
        QVERIFY2(floors().contains(room), qPrintable(room + " has no floor"));
        QFile file(it.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        ++files;
        for (const auto &m : include.globalMatch(QString::fromUtf8(file.readAll()))) {
            const QString target = roomOf(m.captured(1));
            if (target != room && src.exists(m.captured(1)) &&
                floors().value(target) >= floors().value(room))
                wrong << path + " includes " + m.captured(1);
        }
    }
    QVERIFY(files > 100);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestHouse)
#include "tst_house.moc"

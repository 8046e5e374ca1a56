#include "app/MainWindow.h"
#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTest>

// The objectNames of the main window's menus, actions and controls and of every
// window it opens are stable identifiers: remembered column widths and window
// sizes, outside scripts and tests find windows and controls by them. They stay
// as listed in the fixture whatever the code calls its classes and members.
class TestObjectNames : public QObject
{
    Q_OBJECT
private slots:
    void objectNamesStayAsTheyAre();
};

namespace {

// "window: name name ...", the names of its named descendants sorted.
QString namesOf(QObject *root)
{
    QStringList names;
    for (QObject *child : root->findChildren<QObject *>())
        if (!child->objectName().isEmpty() && !child->objectName().startsWith("qt_"))
            names << child->objectName();
    names.sort();
    names.removeDuplicates();
    return root->objectName() + ": " + names.join(' ');
}

} // namespace

void TestObjectNames::objectNamesStayAsTheyAre()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("家");
    env.dm()->setCurrentBook("家");
    QStringList shown;
    {
        MainWindow main;
        main.show();
        shown << namesOf(&main);
        for (const WindowCatalog::Entry &entry : WindowCatalog::all()) {
            std::unique_ptr<QWidget> window(entry.create(&main));
            shown << QString::fromLatin1(entry.className) + " = " + namesOf(window.get());
        }
    }
    const QString path = QStringLiteral(QINGHEBU_FIXTURES "/objectnames.txt");
    if (qEnvironmentVariableIsSet("QINGHEBU_WRITE_OBJECTNAMES")) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write((shown.join('\n') + '\n').toUtf8());
        return;
    }
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QStringList kept = QString::fromUtf8(in.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(shown, kept);
}

QTEST_MAIN(TestObjectNames)
#include "tst_objectnames.moc"

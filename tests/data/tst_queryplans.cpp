#include "app/MainWindow.h"
#include "app/WindowCatalog.h"
#include "core/books/SampleBook.h"
#include "core/ledger/Workspace.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "support/TestSupport.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QToolButton>
#include <QValidator>

// Every statement the windows issue on a populated book is answered from an index,
// never by reading a whole entry table. The statements are those the statement
// layer records while every window of the catalog is opened and used, so that a
// window added to the catalog is covered without a line here.
class TestQueryPlans : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyStatementUsesAnIndex();
    void aDroppedIndexIsFound();
    void aFunctionOnAnIndexedColumnIsFound();

private:
    std::unique_ptr<TestEnvironment> m_env;
    QList<SqlRecording::Statement> m_statements;
};

namespace {

const QString Book = QStringLiteral("样例");

// Tables of entries, which grow without bound; reference and work tables stay small.
bool isEntryTable(const QString &name)
{
    const Schema::Table *t = Schema::table(name);
    return t && (t->bookDateColumn || t->parentKey);
}

bool clickIfEnabled(QWidget *window, const QString &name)
{
    auto *button = window->findChild<QAbstractButton *>(name);
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

// Fills what a new row asks for: each list a different choice, amounts a number,
// other empty boxes a text no row has yet.
void fillInputs(QWidget *window)
{
    static int serial = 0;
    int lists = 0;
    for (QComboBox *combo : window->findChildren<QComboBox *>())
        if (combo->isVisible() && combo->isEnabled() && combo->count() > 0)
            combo->setCurrentIndex(lists++ % combo->count());
    for (QLineEdit *edit : window->findChildren<QLineEdit *>()) {
        const bool inner = qobject_cast<QComboBox *>(edit->parentWidget()) ||
                           qobject_cast<QAbstractSpinBox *>(edit->parentWidget());
        if (inner || !edit->isVisible() || !edit->isEnabled() || edit->isReadOnly())
            continue;
        if (edit->validator())
            edit->setText(QStringLiteral("12.5"));
        else if (edit->text().isEmpty())
            edit->setText(QStringLiteral("检查%1").arg(++serial));
    }
}

// The usual actions of a list window, by the buttons' common names: a new row saved,
// a row edited and saved, the default quick filter, moving to the ends, a delete.
void useWindow(QWidget *window, MessageRecorder &messages)
{
    if (clickIfEnabled(window, "ButNew")) {
        fillInputs(window);
        clickIfEnabled(window, "ButSave");
        clickIfEnabled(window, "ButCan"); // when the save was refused
    }
    if (clickIfEnabled(window, "ButMed")) {
        clickIfEnabled(window, "ButSaveEdit");
        clickIfEnabled(window, "ButCan");
    }
    if (auto *query = window->findChild<QPushButton *>("ButQuery");
        query && query->isVisible() && query->isEnabled()) {
        Drive::whenModal([](QWidget *dialog) { Drive::click(dialog, "BitBtn1"); });
        query->click();
    }
    for (const char *move : {"NavLast", "NavFirst", "NavNext", "NavLast", "NavPrior"})
        clickIfEnabled(window, move);
    if (auto *del = window->findChild<QPushButton *>("ButDel"); del && del->isEnabled()) {
        messages.answer(QMessageBox::Yes);
        // Deleting another book asks its password: the dialog is closed unanswered.
        Drive::withModal([del] { del->click(); });
    }
    QApplication::processEvents();
}

// Opens every window of the catalog on the sample book through the main window and
// uses it; returns the statements issued.
QList<SqlRecording::Statement> statementsOfEveryWindow()
{
    MessageRecorder messages;
    MainWindow main;
    main.show();
    SqlRecording::start();
    for (const WindowCatalog::Entry &entry : WindowCatalog::all()) {
        const QString name = QLatin1String(entry.className);
        if (entry.kind == WindowCatalog::Kind::Modal) {
            Drive::whenModal([](QWidget *dialog) { dialog->close(); });
            main.openWindow(name);
            continue;
        }
        QWidget *window = main.openWindow(name);
        QApplication::processEvents();
        useWindow(window, messages);
        main.closeAllChildren(); // entry windows refresh the summary panel on closing
    }
    main.refreshSummary();
    return SqlRecording::stop();
}

// "SCAN InTable" or "SCAN InTable USING INDEX ...": the whole table is read.
const QRegularExpression ScanLine(QStringLiteral("^SCAN (?:TABLE )?(\\w+)"));

// A function applied to a column the entry tables are indexed on ("substr(IDate,1,7)=?")
// in a condition: the index then narrows the search to the book at best.
QStringList functionsOnIndexedColumns(const QString &text)
{
    QStringList columns{QStringLiteral("BName")};
    for (const Schema::Table &t : Schema::tables())
        for (const char *column : {t.bookDateColumn, t.parentKey})
            if (column)
                columns << QLatin1String(column);
    static const QStringList Keywords{"where", "and", "or", "not", "in", "exists", "on"};
    const QRegularExpression call(
        QStringLiteral("(?i)\\b(\\w+)\\s*\\(\\s*(?:\\w+\\.)?(?:%1)\\b").arg(columns.join('|')));
    const qsizetype where = text.indexOf(QRegularExpression("(?i)\\bwhere\\b"));
    if (where < 0)
        return {};
    QString condition = text.mid(where);
    if (const qsizetype end = condition.indexOf(QRegularExpression("(?i)\\b(group|order) by\\b"));
        end >= 0)
        condition.truncate(end);
    QStringList found;
    for (auto it = call.globalMatch(condition); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!Keywords.contains(m.captured(1).toLower()))
            found << m.captured(0);
    }
    return found;
}

// Each select, update and delete recorded whose plan reads a whole entry table, or
// whose condition hides an indexed column in a function, with what says so.
QStringList findings(const QList<SqlRecording::Statement> &statements)
{
    QStringList out;
    QSet<QString> seen;
    for (const SqlRecording::Statement &s : statements) {
        const QString verb = s.text.trimmed().section(QLatin1Char(' '), 0, 0).toLower();
        if (seen.contains(s.text) || !QStringList{"select", "update", "delete"}.contains(verb))
            continue;
        seen.insert(s.text);
        for (const QString &call : functionsOnIndexedColumns(s.text))
            out << s.text + QStringLiteral("\n    function on an indexed column: ") + call;
        QSqlQuery plan = Sql(QStringLiteral("EXPLAIN QUERY PLAN ") + s.text, s.values).exec();
        while (plan.next()) {
            const QString detail = plan.value(3).toString();
            const QRegularExpressionMatch scan = ScanLine.match(detail);
            if (scan.hasMatch() && isEntryTable(scan.captured(1)))
                out << s.text + QStringLiteral("\n    ") + detail;
        }
    }
    return out;
}

} // namespace

void TestQueryPlans::initTestCase()
{
    m_env = std::make_unique<TestEnvironment>();
    // A second book, so that the book list has one to delete.
    SampleBook::write({.book = Book, .entries = 6000, .seed = 3});
    SampleBook::write({.book = QStringLiteral("旧帐"), .entries = 200, .seed = 4});
    m_env->dm()->setCurrentBook(Book);
    m_statements = statementsOfEveryWindow();
}

void TestQueryPlans::everyStatementUsesAnIndex()
{
    // The windows did issue their statements: lists, saves and filters of entries.
    QStringList texts;
    for (const SqlRecording::Statement &s : m_statements)
        texts << s.text;
    for (const char *table : {"InTable", "OutTable", "ChangeT", "SAccount"})
        QVERIFY2(
            texts.filter(QRegularExpression(
                             QStringLiteral("(?i)^select .* from %1\\b").arg(QLatin1String(table))))
                    .size() > 0,
            table);
    QVERIFY(
        texts.filter(QRegularExpression("(?i)^(update|delete from) (InTable|OutTable)")).size() >=
        2);

    const QStringList found = findings(m_statements);
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

void TestQueryPlans::aDroppedIndexIsFound()
{
    // Both indexes that begin with the book, so that no other one finds its rows.
    Sql(QStringLiteral("DROP INDEX idx_InTable_book_date")).exec();
    Sql(QStringLiteral("DROP INDEX idx_InTable_book_money")).exec();
    const QStringList found = findings(m_statements);
    Sql(QStringLiteral("CREATE INDEX idx_InTable_book_date ON InTable (BName, IDate)")).exec();
    Sql(QStringLiteral("CREATE INDEX idx_InTable_book_money ON InTable (BName, IMoney)")).exec();
    QVERIFY(!found.filter(QStringLiteral("SCAN InTable")).isEmpty());
}

void TestQueryPlans::aFunctionOnAnIndexedColumnIsFound()
{
    const QString byMonth =
        QStringLiteral("select ID from OutTable Where (BName=?) and substr(ODate,1,7)=?");
    QCOMPARE(findings({{byMonth, {Book, QStringLiteral("2024-05")}}}).size(), 1);
    QVERIFY(findings({{QStringLiteral("select substr(ODate,1,7) from OutTable Where (BName=?) "
                                      "and ODate>=? group by substr(ODate,1,7)"),
                       {Book, QStringLiteral("2024-05-01")}}})
                .isEmpty());
}

QTEST_MAIN(TestQueryPlans)
#include "tst_queryplans.moc"

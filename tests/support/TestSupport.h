#pragma once

#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>
#include <memory>

class Workspace;
class QWidget;

// A fresh data folder and a running data module for one test. A main window made
// under it opens no start-up dialog unless the test asks for one.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    // The next main window opens the new-book or open-book dialog, as the program
    // does; drive it with Drive::whenModal before making the window.
    void withStartupDialog();
    Workspace *dm() const { return m_dm.get(); }
    QString dataDir() const { return m_dir.path(); }
    // Closes the data file and puts in its place the fixture `name`, a file written
    // by an earlier version; reopen() then opens (and upgrades) it. Its path.
    QString replaceDataFile(const QString &name);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Workspace> m_dm;
};

// Makes a file or folder unwritable for this process, root included (the file
// system's immutable flag besides the permissions), until it goes out of scope.
// isActive() is false where that cannot be done; a test then skips.
class WriteProtected
{
public:
    explicit WriteProtected(const QString &path);
    ~WriteProtected();
    WriteProtected(const WriteProtected &) = delete;
    WriteProtected &operator=(const WriteProtected &) = delete;
    bool isActive() const;

private:
    QString m_path;
    bool m_immutable = false;
};

struct ShownMessage
{
    QString text;
    QString caption;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

// Answers every message box while it lives, records what each one showed.
// Queued answers are used first; after that the box's default (or OK) is taken.
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    void answer(QMessageBox::StandardButton button) { m_answers.append(button); }
    QStringList texts() const;
    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
    void clear() { messages.clear(); }

    QList<ShownMessage> messages;

private:
    QList<QMessageBox::StandardButton> m_answers;
};

// Driving a window by the objectNames of its controls. A control that is not
// found ends the test with its name.
namespace Drive {
QWidget *widget(QWidget *root, const QString &name);
template <typename T> T *find(QWidget *root, const QString &name);
void setText(QWidget *root, const QString &name, const QString &text);
QString text(QWidget *root, const QString &name);
void choose(QWidget *root, const QString &name, const QString &item);
void setDate(QWidget *root, const QString &name, const QDate &date);
void click(QWidget *root, const QString &name);
// The keyboard, as a person uses it: keys go to the widget that has the focus.
QWidget *focused();
QString focusedName(); // empty when nothing has the focus
void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void keys(const QString &text); // ASCII only
// Alt+key: a button's mnemonic, waited for until the button is clicked.
void alt(int key);
// Shows a window and waits until it is active, so that its shortcuts work.
void showActive(QWidget *window);
// The window no longer hears of the ledger's actions, as when another program
// acts on the data file: it keeps showing what it read.
void stopFollowingChanges(QWidget *window);
// Runs `act` on the next modal dialog (e.g. fill it and press a button) once it is shown.
void whenModal(std::function<void(QWidget *dialog)> act);
// Runs `act`. If it shows a modal dialog, `onDialog` gets it, and the dialog is
// closed afterwards if it is still open. True when a dialog was shown.
bool withModal(const std::function<void()> &act,
               const std::function<void(QWidget *dialog)> &onDialog = {});
// Triggers the action (a pop-up menu item) named `name` under root.
void trigger(QWidget *root, const QString &name);
// Opens `book` through the open-book dialog of the main window's menu.
void openBook(QWidget *main, const QString &book, const QString &password = "480726");
// The main window's MDI children, oldest first.
QList<QWidget *> children(QWidget *main);

// Grids (QTableView) by objectName: rows are counted from 0, columns by title.
QStringList titles(QWidget *root, const QString &grid); // shown columns only
// Every row of the column, the grid scrolled to its end.
QStringList column(QWidget *root, const QString &grid, const QString &title);
int currentRow(QWidget *root, const QString &grid);
// Clicks a shown cell of the row, as a user picks a row.
void clickRow(QWidget *root, const QString &grid, int row);
// The totals row under a grid: its caption ("合计 3 笔") when `title` is empty,
// else the figure under the column so titled.
QString totals(QWidget *root, const QString &grid, const QString &title = {});
} // namespace Drive

// An amount written as the user types it: yuan("12.5").
inline Money yuan(const char *text)
{
    return *Money::parse(text);
}

// Direct database access for checking tests and for setting up what no writer of
// the program makes (damage, older files, failures). A book's money is written
// through Seed (support/Seed.h), as the program writes it.
namespace Db {
void exec(const QString &sql, const QVariantList &values = {});
QVariant value(const QString &sql, const QVariantList &values = {});
int count(const QString &sql, const QVariantList &values = {});
// A bare book row (no reference rows) whose password is stored hashed, as the
// program stores it. BookStore::createBook makes a book with its default rows.
void insertBook(const QString &book, const QString &password = QStringLiteral("480726"));
Money balance(const QString &book, const QString &account);
// Makes the database refuse every insert, update and delete of a table with
// `message`, as a failing disk or a constraint would; allowWrites lifts it.
void refuseWrites(const QString &table, const QString &message);
void allowWrites(const QString &table);
// Every row of every table as text, tables in schema order and rows in key order:
// two databases with equal dumps hold the same data.
QStringList dump();
// The same for another database file, read through a read-only connection.
QStringList dumpFile(const QString &path);
// A SQLite file of another program, made by running the statements in it.
void makeForeignDatabase(const QString &path, const QStringList &statements);
} // namespace Db

template <typename T> T *Drive::find(QWidget *root, const QString &name)
{
    QWidget *w = widget(root, name);
    T *typed = qobject_cast<T *>(w);
    if (!typed)
        qFatal("control %s is not of the expected type", qPrintable(name));
    return typed;
}

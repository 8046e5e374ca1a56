#pragma once

#include <QMessageBox>
#include <functional>

// Every message of the program goes through here: a real QMessageBox with the
// given text, caption, icon, buttons and default button. Tests install an
// answerer that inspects the box and returns the button to press instead of
// running its event loop.
namespace Msg {

using Answerer = std::function<QMessageBox::StandardButton(QMessageBox &box)>;
void setAnswerer(Answerer answerer);

QMessageBox::StandardButton show(QWidget *parent, QMessageBox::Icon icon, const QString &caption,
                                 const QString &text,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A plain message under the program's title, with an OK button (checks that fail).
void plain(QWidget *parent, const QString &text);
void warning(QWidget *parent, const QString &caption, const QString &text);
// A database or file failure: the database's own message under a clear caption.
void error(QWidget *parent, const QString &text);
// Runs `work`; a database failure in it is shown with error() and gives false.
bool guarded(QWidget *parent, const std::function<void()> &work);
// A Yes/No question with the question icon; true only when Yes is pressed.
bool ask(QWidget *parent, const QString &caption, const QString &text,
         QMessageBox::StandardButton defaultButton = QMessageBox::Yes);
// "确认要删除<what>吗？删除后可在回收站中恢复。" (deleted rows and books go to the bin): `what`
// names the row ("“工行”", "这条记录（2025-06-15，食品，80.00）").
QString deleteQuestion(const QString &what);
// Asks deleteQuestion(what) under the caption "删除", No as the default.
bool confirmDelete(QWidget *parent, const QString &what);

QString programTitle();

} // namespace Msg

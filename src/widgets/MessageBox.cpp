#include "widgets/MessageBox.h"

#include "data/ProgramName.h"
#include "data/Sql.h"

#include <cstdio>

namespace Msg {
namespace {
Answerer &answerer()
{
    static Answerer instance;
    return instance;
}
} // namespace

void setAnswerer(Answerer a)
{
    answerer() = std::move(a);
}

QString programTitle()
{
    return programName();
}

QMessageBox::StandardButton show(QWidget *parent, QMessageBox::Icon icon, const QString &caption,
                                 const QString &text, QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (answerer())
        return answerer()(box);
    // Unattended runs (smoke tests of the whole program) print the message and
    // take the default answer instead of waiting for a person.
    if (qEnvironmentVariableIsSet("QINGHEBU_UNATTENDED")) {
        fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void plain(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::NoIcon, programTitle(), text);
}

void warning(QWidget *parent, const QString &caption, const QString &text)
{
    show(parent, QMessageBox::Warning, caption, text);
}

void error(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::Critical, QStringLiteral("错误"), text);
}

bool ask(QWidget *parent, const QString &caption, const QString &text,
         QMessageBox::StandardButton defaultButton)
{
    return show(parent, QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                defaultButton) == QMessageBox::Yes;
}

QString deleteQuestion(const QString &what)
{
    return QStringLiteral("确认要删除%1吗？删除后可在回收站中恢复。").arg(what);
}

bool confirmDelete(QWidget *parent, const QString &what)
{
    return ask(parent, QStringLiteral("删除"), deleteQuestion(what), QMessageBox::No);
}

} // namespace Msg

bool Msg::guarded(QWidget *parent, const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const DbError &e) {
        error(parent, e.message());
        return false;
    }
}

#include "widgets/WorkProgress.h"

#include "data/Sql.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace WorkProgress {
namespace {

// Short work ends before anything shows; longer work shows the dialog after this.
constexpr int ShowAfterMs = 300;

// The progress dialog: what the work is doing, how far it is, and 取消 when the
// work may be cancelled. It closes only when the work has ended.
class WorkDialog : public QDialog
{
public:
    WorkDialog(QWidget *parent, const QString &label, Background::Job *job, Cancel cancel)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_job(job)
    {
        setObjectName(QStringLiteral("WorkProgress"));
        setWindowTitle(Msg::programTitle());
        setWindowModality(Qt::ApplicationModal);
        auto *layout = new QVBoxLayout(this);
        m_step = new QLabel(label, this);
        m_step->setObjectName(QStringLiteral("LabStep"));
        m_step->setMinimumWidth(320);
        layout->addWidget(m_step);
        m_bar = new QProgressBar(this);
        m_bar->setObjectName(QStringLiteral("ProgressBar1"));
        m_bar->setRange(0, 0); // busy until the work says how far it is
        layout->addWidget(m_bar);
        if (cancel == Cancel::Allowed) {
            m_cancel = new QPushButton(QStringLiteral("取消"), this);
            m_cancel->setObjectName(QStringLiteral("ButCancel"));
            auto *row = new QHBoxLayout;
            row->addStretch(1);
            row->addWidget(m_cancel);
            layout->addLayout(row);
            connect(m_cancel, &QPushButton::clicked, this, &WorkDialog::cancelWork);
        }
        layout->setSizeConstraint(QLayout::SetFixedSize);
        connect(job, &Background::Job::progressed, this, &WorkDialog::report);
    }

    void reject() override { cancelWork(); }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        cancelWork();
    }

private:
    void report(int percent, const QString &step)
    {
        if (!step.isEmpty() && m_job && !m_job->isCancelled())
            m_step->setText(step);
        m_bar->setRange(0, percent < 0 ? 0 : 100);
        if (percent >= 0)
            m_bar->setValue(percent);
    }

    void cancelWork()
    {
        if (!m_cancel || !m_job || m_job->isCancelled())
            return;
        m_job->cancel();
        m_cancel->setEnabled(false);
        m_step->setText(QStringLiteral("正在取消……"));
    }

    QPointer<Background::Job> m_job;
    QLabel *m_step = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
};

// While the work runs, no window closes: its data may be under the work, and the
// code waiting for the work belongs to one of them.
class CloseBlocker : public QObject
{
public:
    explicit CloseBlocker(QWidget *dialog) : m_dialog(dialog) { qApp->installEventFilter(this); }
    ~CloseBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Close || watched == m_dialog)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || !widget->isWindow())
            return false;
        event->ignore();
        return true;
    }

private:
    QWidget *m_dialog;
};

} // namespace

Outcome wait(QWidget *parent, Background::Job *job, const QString &label, Cancel cancel)
{
    Outcome outcome;
    bool ended = false;
    QEventLoop loop;
    QObject::connect(job, &Background::Job::failed, &loop,
                     [&outcome](const QString &message) { outcome.failure = message; });
    QObject::connect(job, &Background::Job::ended, &loop, [&] {
        outcome.cancelled = job->isCancelled();
        ended = true;
        loop.quit();
    });
    // Ended without a word only when the program ends the work on closing.
    QObject::connect(job, &QObject::destroyed, &loop, [&] {
        outcome.cancelled |= !ended;
        ended = true;
        loop.quit();
    });
    WorkDialog dialog(parent, label, job, cancel);
    CloseBlocker blocker(&dialog);

    // The screen paints while the input waits; short work is over before the dialog
    // would show.
    QTimer::singleShot(ShowAfterMs, &loop, [&loop] { loop.quit(); });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!ended) {
        dialog.show();
        loop.exec();
    }
    return outcome;
}

void raise(const Outcome &outcome)
{
    if (outcome.cancelled)
        throw Background::Cancelled{};
    if (!outcome.failure.isEmpty())
        throw DbError(outcome.failure);
}

std::function<void(int done, int total)> counting(Background::Context &work, const QString &step)
{
    return [&work, step](int done, int total) {
        work.checkCancelled();
        work.progress(total > 0 ? done * 100 / total : -1, step);
    };
}

} // namespace WorkProgress

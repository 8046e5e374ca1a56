#pragma once

#include "core/planning/Recurring.h"
#include "widgets/EntryWindow.h"
#include "widgets/ListWindow.h"
#include "widgets/MaintenanceWindow.h"

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QDateEdit;
class QLineEdit;

// 周期记帐: the book's recurring entries, kept in a maintenance window. A new one
// that starts in the past offers to post the occurrences already due.
class SchedulesWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit SchedulesWindow(QWidget *parent = nullptr);

    // Begins a new schedule from an entry (设为周期记帐): its kind, names, amount
    // and remark, starting one month after its date.
    void startFrom(const QString &kind, const QVariantMap &entry, const QDate &date);

protected:
    void fillLists() override;
    void prepareNewRow() override;
    void loadInputs() override;
    bool extraChecks(Mode mode) override;
    void completeRow(QVariantMap &row, Mode mode) override;
    QVariant storeRow(Mode mode, const QVariantMap &row) override;
    void removeRow(const QVariant &key) override;

private:
    QComboBox *combo(const QString &alias) const;
    void kindChosen();
    // Offers to post what a new schedule made due already; No skips them.
    void offerMissed(const QVariant &key);
};

// 待记帐: the occurrences of recurring entries due up to today, to post as they
// are (记帐), after changes (修改后记帐), all at once (全部记帐), or to skip.
// An estimated amount is posted only once confirmed.
class DueEntriesWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit DueEntriesWindow(QWidget *parent = nullptr);

    void load() override;
    void postDue();
    void postChanged();
    void skipDue();
    void postAllDue();

private:
    const Recurring::Due *currentDue() const;
    // Runs a write; its failure is shown. The list is read again either way.
    void act(const std::function<void()> &write);

    std::vector<Recurring::Due> m_dues;
};

// 修改后记帐: the date, amount, account and remark of one occurrence before it is
// posted.
class DuePostDialog : public QDialog
{
    Q_OBJECT
public:
    DuePostDialog(const Recurring::Due &due, QWidget *parent);

    void confirmPost(); // posts it
    Recurring::Changes changes() const;

private:
    const Recurring::Due &m_due;
    QDateEdit *m_date = nullptr;
    QLineEdit *m_amount = nullptr;
    QComboBox *m_account = nullptr;
    QLineEdit *m_remark = nullptr;
};

namespace Recurring {
// When a book is opened: posts what is due of the schedules that post by
// themselves (fixed amounts), says so through `note`, and calls `listDue` when
// occurrences wait for the user.
void atBookOpening(const QString &book, const std::function<void(const QString &)> &note,
                   const std::function<void()> &listDue);
// Makes the entry recurring: a new schedule from it in a 周期记帐 window beside
// the entry window.
void makeRecurring(QWidget *entryWindow, const QString &table, const QVariant &key);
// The pop-up menu item of the income, expense and transfer windows that does it.
Entry::RowAction rowAction();
} // namespace Recurring

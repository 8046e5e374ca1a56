#pragma once

#include "data/Money.h"
#include "widgets/EntryWindow.h"
#include "widgets/ListWindow.h"

#include <QDialog>
#include <QPointer>
#include <optional>
#include <vector>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

// Records that follow an entry (repayments of a debt, collections of a credit,
// returns of an investment): the dialog that records one, the dialog that lists
// and deletes them, and what they move. Each record lowers its entry's
// outstanding figure by its first amount and raises its running figure by its
// last amount, and moves its account's balance by every amount.
namespace FollowUp {

// The checks of an amount, run in the order listed.
enum class Check
{
    Empty,               // "<name> 不能为空！"
    NotAboveOutstanding, // "<name> 不能大于<outstanding name>！"
    AboveZero,           // "<name> 不能小于或等于零！"
};

// One amount of a record, in the order of the ledger kind's amount columns.
struct Amount
{
    QString name; // "还债金额": the label, the records list's title, the start of its messages
    // What the box holds when the dialog opens; empty: the outstanding figure.
    QString initial{};
    std::vector<Check> checks{};
};

// Makes the dialog that records a follow-up, or the window that lists them.
using DialogMaker = QWidget *(*)(EntryWindow *owner, const QVariant &entryKey);

template <typename Window> QWidget *make(EntryWindow *owner, const QVariant &entryKey)
{
    return new Window(owner, entryKey);
}

// Shows a window made by a DialogMaker, modal, and returns when it has closed.
void execModal(QWidget *window);

struct Descriptor
{
    // The records, their entry and what they move.
    const Ledger::FollowUpKind *kind = nullptr;
    QString outstandingName; // "债务金额"
    QString dateTitle;       // the records list's date title
    QString dateLabel;
    std::vector<Amount> amounts; // the first lowers the outstanding figure
    // The windows.
    QString recordClass;   // "TfrmBorrow_R"
    QString recordCaption; // "还债": window, group box, button, and the menu item "还债 &R"
    QString listClass;     // "TfrmBorrow_V"
    QString listCaption;   // "还债记录", and the menu item "还债记录 &V"
    bool closeBoxOnly = true;
    QString deleteRefused; // said when an entry with records is to be deleted
    DialogMaker makeRecord = nullptr;
    DialogMaker makeList = nullptr;
};

// The entry's outstanding figure as stored; nothing when the entry is gone.
std::optional<Money> outstanding(const Descriptor &d, const QVariant &entryKey);
bool hasRecords(const Descriptor &d, const QVariant &entryKey);

} // namespace FollowUp

// Records one follow-up of the entry that the window which opened it shows:
// the record, its entry's figures and its account's balance, in one action of
// the ledger.
class FollowUpDialog : public QDialog
{
    Q_OBJECT
public:
    FollowUpDialog(const FollowUp::Descriptor &d, EntryWindow *owner, const QVariant &entryKey);

    void saveRecord();  // records it
    void closeDialog(); // 退出

private:
    // Chooses the account and member the entry names.
    void chooseEntrysNames();
    bool checkAmount(const FollowUp::Amount &amount, QLineEdit *box, Money outstanding);
    bool runChecks(Money outstanding);
    void write() const;

    const FollowUp::Descriptor &m_d;
    QPointer<EntryWindow> m_owner;
    QVariant m_entryKey;
    QDateEdit *m_date = nullptr;
    std::vector<QLineEdit *> m_amounts;
    QComboBox *m_account = nullptr;
    QComboBox *m_member = nullptr;
    QLineEdit *m_remark = nullptr;
};

// Lists the follow-ups of one entry, newest first; "删除 &D" deletes the current
// one and moves back what it moved. Closing it reads the owner's list again.
// Shown modal over the entry window that opened it.
class FollowUpListWindow : public ListWindow
{
    Q_OBJECT
public:
    FollowUpListWindow(const FollowUp::Descriptor &d, EntryWindow *owner, const QVariant &entryKey);

    void readRecords();  // reads the list
    void deleteRecord(); // 删除 &D

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void currentRowChanged() override;

private:
    const FollowUp::Descriptor &m_d;
    QPointer<EntryWindow> m_owner;
    QVariant m_entryKey;
    QPushButton *m_butDel = nullptr;
};

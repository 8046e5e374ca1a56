#pragma once

#include "widgets/EntryWindow.h"
#include "widgets/FollowUpWindows.h"

// Debts the household owes with their repayments, and credits it has lent out
// with their collections: twins of one shape that differ in their tables, texts
// and the way they move the account's balance.

class DebtWindow : public EntryWindow
{
    Q_OBJECT
public:
    explicit DebtWindow(QWidget *parent = nullptr);
};

class CreditWindow : public EntryWindow
{
    Q_OBJECT
public:
    explicit CreditWindow(QWidget *parent = nullptr);
};

// 还债: one repayment of a debt.
class RepaymentDialog : public FollowUpDialog
{
    Q_OBJECT
public:
    RepaymentDialog(EntryWindow *owner, const QVariant &entryKey);
};

// 收债: one collection of a credit.
class CollectionDialog : public FollowUpDialog
{
    Q_OBJECT
public:
    CollectionDialog(EntryWindow *owner, const QVariant &entryKey);
};

// 还债记录: the repayments of a debt.
class RepaymentsWindow : public FollowUpListWindow
{
    Q_OBJECT
public:
    RepaymentsWindow(EntryWindow *owner, const QVariant &entryKey);
};

// 收债记录: the collections of a credit.
class CollectionsWindow : public FollowUpListWindow
{
    Q_OBJECT
public:
    CollectionsWindow(EntryWindow *owner, const QVariant &entryKey);
};

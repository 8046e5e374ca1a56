#pragma once

#include "widgets/EntryWindow.h"
#include "widgets/FollowUpWindows.h"

// Debts the household owes with their repayments, and credits it has lent out
// with their collections: twins of one shape that differ in their tables, texts
// and the way they move the account's balance.

class TfrmBorrow : public EntryWindow
{
    Q_OBJECT
public:
    explicit TfrmBorrow(QWidget *parent = nullptr);
};

class TfrmDebt : public EntryWindow
{
    Q_OBJECT
public:
    explicit TfrmDebt(QWidget *parent = nullptr);
};

// 还债: one repayment of a debt.
class TfrmBorrow_R : public FollowUpDialog
{
    Q_OBJECT
public:
    TfrmBorrow_R(EntryWindow *owner, const QVariant &entryKey);
};

// 收债: one collection of a credit.
class TfrmDebt_R : public FollowUpDialog
{
    Q_OBJECT
public:
    TfrmDebt_R(EntryWindow *owner, const QVariant &entryKey);
};

// 还债记录: the repayments of a debt.
class TfrmBorrow_V : public FollowUpListWindow
{
    Q_OBJECT
public:
    TfrmBorrow_V(EntryWindow *owner, const QVariant &entryKey);
};

// 收债记录: the collections of a credit.
class TfrmDebt_V : public FollowUpListWindow
{
    Q_OBJECT
public:
    TfrmDebt_V(EntryWindow *owner, const QVariant &entryKey);
};

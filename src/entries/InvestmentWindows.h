#pragma once

#include "widgets/EntryWindow.h"
#include "widgets/FollowUpWindows.h"

// Investments by category, with their returns of principal and income.
class InvestmentWindow : public EntryWindow
{
    Q_OBJECT
public:
    explicit InvestmentWindow(QWidget *parent = nullptr);
};

// 收益: one return of an investment, principal and income.
class ReturnDialog : public FollowUpDialog
{
    Q_OBJECT
public:
    ReturnDialog(EntryWindow *owner, const QVariant &entryKey);
};

// 收益记录: the returns of an investment.
class ReturnsWindow : public FollowUpListWindow
{
    Q_OBJECT
public:
    ReturnsWindow(EntryWindow *owner, const QVariant &entryKey);
};

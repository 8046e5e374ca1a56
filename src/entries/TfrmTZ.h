#pragma once

#include "widgets/EntryWindow.h"
#include "widgets/FollowUpWindows.h"

// Investments by category, with their returns of principal and income.
class TfrmTZ : public EntryWindow
{
    Q_OBJECT
public:
    explicit TfrmTZ(QWidget *parent = nullptr);
};

// 收益: one return of an investment, principal and income.
class TfrmTZ_R : public FollowUpDialog
{
    Q_OBJECT
public:
    TfrmTZ_R(EntryWindow *owner, const QVariant &entryKey);
};

// 收益记录: the returns of an investment.
class TfrmTZ_V : public FollowUpListWindow
{
    Q_OBJECT
public:
    TfrmTZ_V(EntryWindow *owner, const QVariant &entryKey);
};

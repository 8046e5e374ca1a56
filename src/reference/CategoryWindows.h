#pragma once

#include "widgets/MaintenanceWindow.h"

// The income, expense and investment categories of the current book: three
// windows of one shape that differ only in their table and texts.

class TfrmIn_Manage : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit TfrmIn_Manage(QWidget *parent = nullptr);
};

class TfrmOut_Manage : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit TfrmOut_Manage(QWidget *parent = nullptr);
};

class TfrmT_Manage : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit TfrmT_Manage(QWidget *parent = nullptr);
};

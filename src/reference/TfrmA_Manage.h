#pragma once

#include "widgets/MaintenanceWindow.h"

// 帐户管理: the money accounts of the current book with their balances.
class TfrmA_Manage : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit TfrmA_Manage(QWidget *parent = nullptr);
};

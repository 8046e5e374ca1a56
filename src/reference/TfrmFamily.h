#pragma once

#include "widgets/MaintenanceWindow.h"

// 家庭成员管理: the family members, shared by every book.
class TfrmFamily : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit TfrmFamily(QWidget *parent = nullptr);
};

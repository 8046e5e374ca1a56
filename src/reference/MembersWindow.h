#pragma once

#include "widgets/MaintenanceWindow.h"

// 家庭成员管理: the family members, shared by every book. A birthday may be left
// empty, and a new member starts without one.
class MembersWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit MembersWindow(QWidget *parent = nullptr);

protected:
    void prepareNewRow() override;
};

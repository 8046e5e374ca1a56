#pragma once

#include "widgets/MaintenanceWindow.h"

// 帐户管理: the money accounts of the current book, their kinds and balances. A
// new account's balance is its opening balance; a balance typed over an old one's
// asks where the difference goes (CorrectionCategoryDialog).
class AccountsWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit AccountsWindow(QWidget *parent = nullptr);

protected:
    void prepareNewRow() override;
    bool extraChecks(Mode mode) override;
    void prepareLedger(Ledger &ledger, Mode mode) override;

private:
    QString m_correction; // of the balance typed in this edit: a category, or none
};

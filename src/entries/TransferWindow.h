#pragma once

#include "widgets/EntryWindow.h"

// Transfers between two accounts of the current book: the amount leaves the
// from-account and reaches the to-account.
class TransferWindow : public EntryWindow
{
    Q_OBJECT
public:
    // `rowActions` as for the income window.
    explicit TransferWindow(QWidget *parent = nullptr,
                            std::vector<Entry::RowAction> rowActions = {});

protected:
    // The to-account is refused when it is the from-account, before the amount is checked.
    bool checkField(const Maintenance::Field &field) override;
    // A new transfer's remark ends in " <from>-><to>".
    void completeRow(QVariantMap &row, Mode mode) override;
};

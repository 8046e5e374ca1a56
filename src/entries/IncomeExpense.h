#pragma once

#include "widgets/EntryWindow.h"

// The income and expense windows: twins of one shape that differ only in their
// table, texts, category list and the way they move the account's balance.
// `rowActions` are further items of the grid's pop-up menu, given by whoever
// opens the window (making an entry recurring).

class IncomeWindow : public EntryWindow
{
    Q_OBJECT
public:
    explicit IncomeWindow(QWidget *parent = nullptr, std::vector<Entry::RowAction> rowActions = {});
};

class ExpenseWindow : public EntryWindow
{
    Q_OBJECT
public:
    explicit ExpenseWindow(QWidget *parent = nullptr,
                           std::vector<Entry::RowAction> rowActions = {});
};

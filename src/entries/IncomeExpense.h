#pragma once

#include "widgets/EntryWindow.h"

// The income and expense windows: twins of one shape that differ only in their
// table, texts, category list and the way they move the account's balance.

class IncomeWindow : public EntryWindow
{
    Q_OBJECT
public:
    explicit IncomeWindow(QWidget *parent = nullptr);
};

class ExpenseWindow : public EntryWindow
{
    Q_OBJECT
public:
    explicit ExpenseWindow(QWidget *parent = nullptr);
};

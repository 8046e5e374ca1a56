#pragma once

#include "widgets/QueryWindow.h"

// The six detail query windows, each a descriptor of the query-window family.

class IncomeQueryWindow : public QueryWindow
{
    Q_OBJECT
public:
    explicit IncomeQueryWindow(QWidget *parent = nullptr);
};

class ExpenseQueryWindow : public QueryWindow
{
    Q_OBJECT
public:
    explicit ExpenseQueryWindow(QWidget *parent = nullptr);
};

class TransferQueryWindow : public QueryWindow
{
    Q_OBJECT
public:
    explicit TransferQueryWindow(QWidget *parent = nullptr);
};

class DebtQueryWindow : public QueryWindow
{
    Q_OBJECT
public:
    explicit DebtQueryWindow(QWidget *parent = nullptr);
};

class CreditQueryWindow : public QueryWindow
{
    Q_OBJECT
public:
    explicit CreditQueryWindow(QWidget *parent = nullptr);
};

class InvestmentQueryWindow : public QueryWindow
{
    Q_OBJECT
public:
    explicit InvestmentQueryWindow(QWidget *parent = nullptr);
};

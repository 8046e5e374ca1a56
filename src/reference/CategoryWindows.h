#pragma once

#include "widgets/MaintenanceWindow.h"

// The income, expense and investment categories of the current book: three
// windows of one shape that differ only in their table and texts.

class IncomeCategoriesWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit IncomeCategoriesWindow(QWidget *parent = nullptr);
};

class ExpenseCategoriesWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit ExpenseCategoriesWindow(QWidget *parent = nullptr);
};

class InvestmentCategoriesWindow : public MaintenanceWindow
{
    Q_OBJECT
public:
    explicit InvestmentCategoriesWindow(QWidget *parent = nullptr);
};

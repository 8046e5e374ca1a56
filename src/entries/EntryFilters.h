#pragma once

#include "widgets/QuickFilterDialog.h"

// The quick-filter dialogs of the entry windows: each is its criteria.
class IncomeFilterDialog : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit IncomeFilterDialog(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class ExpenseFilterDialog : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit ExpenseFilterDialog(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class TransferFilterDialog : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit TransferFilterDialog(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class DebtFilterDialog : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit DebtFilterDialog(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class CreditFilterDialog : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit CreditFilterDialog(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class InvestmentFilterDialog : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit InvestmentFilterDialog(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

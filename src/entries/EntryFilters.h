#pragma once

#include "widgets/QuickFilterDialog.h"

// The quick-filter dialogs of the entry windows: each is its criteria.
class TfrmInTable_Q : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit TfrmInTable_Q(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class TfrmOutTable_Q : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit TfrmOutTable_Q(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class TfrmChangeT_Q : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit TfrmChangeT_Q(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class TfrmBorrow_Q : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit TfrmBorrow_Q(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class TfrmDebt_Q : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit TfrmDebt_Q(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

class TfrmTZ_Q : public QuickFilterDialog
{
    Q_OBJECT
public:
    explicit TfrmTZ_Q(FilterTarget *target, QWidget *parent = nullptr);
    static const FilterDescriptor &descriptor();
};

#pragma once

#include "widgets/EntryWindow.h"

// The income and expense windows: twins of one shape that differ only in their
// table, texts, category list and the way they move the account's balance.

class TfrmInTable : public EntryWindow
{
    Q_OBJECT
public:
    explicit TfrmInTable(QWidget *parent = nullptr);
};

class TfrmOutTable : public EntryWindow
{
    Q_OBJECT
public:
    explicit TfrmOutTable(QWidget *parent = nullptr);
};

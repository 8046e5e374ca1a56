#pragma once

#include "widgets/QueryWindow.h"

// The six detail query windows, each a descriptor of the query-window family.

class TfrmP_In : public QueryWindow
{
    Q_OBJECT
public:
    explicit TfrmP_In(QWidget *parent = nullptr);
};

class TfrmP_Out : public QueryWindow
{
    Q_OBJECT
public:
    explicit TfrmP_Out(QWidget *parent = nullptr);
};

class TfrmP_A : public QueryWindow
{
    Q_OBJECT
public:
    explicit TfrmP_A(QWidget *parent = nullptr);
};

class TfrmP_B : public QueryWindow
{
    Q_OBJECT
public:
    explicit TfrmP_B(QWidget *parent = nullptr);
};

class TfrmP_D : public QueryWindow
{
    Q_OBJECT
public:
    explicit TfrmP_D(QWidget *parent = nullptr);
};

class TfrmTZ_Qu : public QueryWindow
{
    Q_OBJECT
public:
    explicit TfrmTZ_Qu(QWidget *parent = nullptr);
};

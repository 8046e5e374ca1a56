#pragma once

#include "widgets/ListWindow.h"
#include "widgets/QueryWindow.h"

class QLineEdit;

// 操作记录: the book's actions, newest first, under the query windows' conditions
// (date, window, kind of action, text), exported and printed like them.
class HistoryWindow : public QueryWindow
{
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget *parent = nullptr);
};

// 回收站: the book's deleted rows, and the deleted books, newest first. 恢复 puts
// the current one back (a row's balances move back; a book asks its password),
// 彻底删除 removes it for good.
class RecycleBinWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit RecycleBinWindow(QWidget *parent = nullptr);

    void restoreChosen();
    void purgeChosen();

protected:
    List::Query query() const override;
    void currentRowChanged() override;

private:
    // Books are listed under the negative of their key, rows under theirs.
    bool isBook() const { return currentKey().toLongLong() < 0; }
    // Runs the bin's change; the list and the other windows are then read again.
    void change(const std::function<void()> &work);

    QLineEdit *m_password = nullptr;
};

#pragma once

#include <QWidget>

class QLineEdit;
class QStandardItemModel;
class QTableView;
class QToolButton;

// Lists every book, newest first, and deletes the selected one with all its rows.
// The open book cannot be deleted.
class TfrmB_Manage : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmB_Manage(QWidget *parent = nullptr);

    void Ref();
    void ButDelClick();

private:
    void buildNavigator(class QHBoxLayout *bar);
    void moveTo(int row);
    void currentRowChanged();

    QTableView *DBGrid1 = nullptr;
    QLineEdit *DBEdit1 = nullptr;
    QStandardItemModel *m_model = nullptr;
    QToolButton *m_first = nullptr, *m_prior = nullptr, *m_next = nullptr, *m_last = nullptr;
};

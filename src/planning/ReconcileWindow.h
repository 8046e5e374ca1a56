#pragma once

#include "core/planning/Reconciliation.h"
#include "widgets/ListWindow.h"

#include <QSet>
#include <optional>
#include <vector>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class ListModel;

// 对帐: an account's balance at a day against the bank's. 对照 lists the
// entries since the last reconciliation with the difference; those not at the
// bank yet are unticked (勾选); 平帐 books what is left as one adjusting entry
// and keeps the reconciliation, whose dates the list below shows.
class ReconcileWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit ReconcileWindow(QWidget *parent = nullptr);

    void load() override;
    void compare();              // 对照
    void toggleTick();           // 勾选 / 取消勾选
    void recordReconciliation(); // 平帐并记录

private:
    QWidget *buildConditions();
    // The bank's balance typed; nothing (and said why) when it is no amount.
    std::optional<Money> bankBalance();
    void showMovements();
    void showFigures();
    void readHistory();
    Money unticked() const;

    QComboBox *m_account = nullptr;
    QDateEdit *m_date = nullptr;
    QLineEdit *m_bank = nullptr;
    QLabel *m_figures = nullptr;
    QPushButton *m_tick = nullptr;
    QPushButton *m_book = nullptr;
    List::Pane m_history{};
    // The last 对照: what it compared.
    QString m_shownAccount;
    QDate m_shownDate;
    Money m_shownBank;
    Money m_own;
    std::vector<Reconciliation::Movement> m_movements;
    QSet<int> m_unticked;
};

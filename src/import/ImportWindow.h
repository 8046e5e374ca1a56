#pragma once

#include "core/bills/ImportPlan.h"

#include <QPersistentModelIndex>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

namespace Background {
class Context;
}

class ImportModel;
class ListModel;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;

// 导入帐单: bill files of 支付宝, 微信支付 and the banks read into a preview grid,
// each row with its status (新 / 重复 / 跳过 / 退款 / 待确认) and the entry it
// becomes, editable before 导入 writes the chosen rows in one transaction. The
// second page sets what each payment method and app category is in the book and
// lists the rules; the third lists the imports, each of which 撤销导入 takes back.
class ImportWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ImportWindow(QWidget *parent = nullptr);
    ~ImportWindow() override;

    // Reads the files (asking for a ZIP's password when needed) and adds their rows;
    // a file that is not understood is said and left out.
    void addFiles(const QStringList &paths);
    const Import::Plan &plan() const { return *m_plan; }
    const QString &book() const { return m_book; }

    // Shows the open-files dialog; returns the chosen files. Tests replace it so
    // that no platform dialog opens.
    using FileChooser = std::function<QStringList(QWidget *parent, const QString &title,
                                                  const QString &folder, const QString &filter)>;
    static FileChooser chooseFiles;

    void addChosenFiles();
    void importChosen();
    void addRule();
    void deleteRule();
    // 以后都这样 beside the cell just chosen: the choice kept for the row's 交易对方
    // (a category or an account) or for its kind of move (the account on the other
    // side), and applied to every row it fits.
    void rememberChoice();
    void undoImport();
    void clearFiles();

private:
    QWidget *makeRowsPage();
    QWidget *makeSettingsPage();
    QWidget *makeBatchesPage();
    // Reads a file, asking for the password of an encrypted ZIP until it opens or
    // the user gives up; empty when the file is left out.
    QList<Bills::Document> readFile(const QString &path);
    // After the settings changed: the lines mapped again, the pages shown anew.
    void settingsChanged();
    // The payment methods and app categories of the lines with their drop-downs,
    // and the rules.
    void showSettings();
    void showRules();
    void showTransfers();
    // Shows 以后都这样 beside the cell the user just chose.
    void offerToRemember(const QModelIndex &index);
    void showCounts();
    void showFiles();
    void readBatches();
    // The plan read afresh from the book (after an import or an undo): the same
    // files, their rows decided again.
    void replan();
    // Shows the plan that `make` makes on a worker while the window waits (a
    // comparison with all the book imported before); false when it failed (said)
    // or was cancelled, the plan shown then as it was.
    bool showPlan(const std::function<Import::Plan(Background::Context &)> &make);

    QString m_book;
    std::unique_ptr<Import::Plan> m_plan;
    QStringList m_paths;
    QString m_zipPassword;
    ImportModel *m_model = nullptr;
    QTableView *m_grid = nullptr;
    QLabel *m_files = nullptr;
    QLabel *m_counts = nullptr;
    QLabel *m_why = nullptr; // the current row's 说明
    QComboBox *m_member = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_methods = nullptr;
    QTableWidget *m_categories = nullptr;
    QTableWidget *m_rules = nullptr;
    QTableWidget *m_transfers = nullptr;
    QPushButton *m_remember = nullptr;
    QPersistentModelIndex m_edited; // the cell 以后都这样 stands beside
    ListModel *m_batches = nullptr;
    QTableView *m_batchGrid = nullptr;
};

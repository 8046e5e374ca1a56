#pragma once

#include "core/ledger/References.h"
#include "core/ledger/Workspace.h"
#include "data/Money.h"
#include "data/Sql.h"
#include "widgets/ListWindow.h"

#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

class Ledger;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace Maintenance {

enum class FieldKind
{
    Text,   // a line edit
    Amount, // a line edit that takes only what can form an amount
    Date,   // a read-only view, and a date picker while entering
    Combo,  // a read-only view, and a drop-down list while entering
};

// A lookup feeder of the data module that gives a drop-down list its names.
using Feeder = Workspace::Feeder;

// One column of the list query: "name as alias", its kind (Money, Hidden).
using Column = List::Column;
using List::Kind;

// One labelled field of the edit panel, bound to a column of the list by alias.
struct Field
{
    QString name{};  // objectName of the field that shows the current row ("DBEdit1")
    QString label{}; // "帐户名称："
    QString alias{}; // the list column it shows and writes
    FieldKind kind = FieldKind::Text;
    // Refused when empty: "<alias>不能为空！请重新录入！", or "请选择 <alias>！" for a list.
    bool required = false;
    QString input{};         // Date, Combo: objectName of the input control ("DateTimePicker1")
    Feeder feeder = nullptr; // Combo: fills the list when the window opens
    QString hint{};          // a note beside the field
    int maxLength = 50;      // of what the user types; a longer stored value shows whole
    // A value other windows move meanwhile (an account's balance): read afresh when
    // 修改 begins, and written back only when the user changed it.
    bool movedElsewhere = false;
    QString emptyText{}; // what a required field says when empty, where not the usual form
};

// Everything that tells one maintenance window from another.
struct Descriptor
{
    QString className{};  // the window's objectName
    QString caption{};    // window title
    QString panelTitle{}; // title of the edit panel
    QString table{};
    std::vector<Column> columns{}; // of the list query, in order; the key ID is added hidden
    std::vector<Field> fields{};   // of the edit panel, in order; checks run in this order
    QString nameAlias{};           // the row's name: pinyin initials, duplicate test, protection
    bool perBook = true;           // rows of the current book only; BName is written on save
    bool pinyin = true;            // thePY holds the name's initials, recomputed on every save
    // A row whose name another row of the book (or of the table, when not per
    // book) holds already, in any letter case, is refused on save and save-edit.
    bool duplicateTest = true;
    // What the entries call these rows: a rename is carried into them.
    std::optional<References::Kind> referencedAs{};
    QString protectedName{}; // a row with this name is never deleted, and 删除 says why
    QString modifyCaption = QStringLiteral("修改（&M）");
    QString orderBy{};     // by result names ("日期 desc, ID desc"); empty: by the key
    int columnWidth = 160; // of the grid's columns
    QString countUnit{};   // of its totals row ("合计 6 个帐户"); empty: as the list says
    bool rereadAfterEdit = false; // after save-edit the list is read again from its first row
    bool queryButton = false;     // a 查询（&Q） button, enabled while browsing
};

QString emptyMessage(const Field &field);
QString duplicateMessage(const Descriptor &d);
// Said when 删除 is pressed on the protected row, which stays.
QString protectedMessage(const Descriptor &d);
// Asked when a window with a new or edited row is closed.
QString unsavedQuestion();
// Said when the row to write or delete was deleted in another window meanwhile.
QString rowGoneMessage();

// The list window a maintenance window is: its table's columns, the key ID
// listed hidden.
List::Descriptor list(const Descriptor &d);

} // namespace Maintenance

// The maintenance window: a list window with an edit panel below the grid and
// the buttons 新增 / 修改 / 保存 / 取消 / 删除 / 退出, in three modes. A named
// window passes its descriptor and calls load() at the end of its
// constructor; windows that do more (entry windows) override the hooks.
class MaintenanceWindow : public ListWindow
{
    Q_OBJECT
public:
    enum class Mode
    {
        Browse,
        New,
        Edit
    };

    explicit MaintenanceWindow(Maintenance::Descriptor descriptor, QWidget *parent = nullptr);

    const Maintenance::Descriptor &descriptor() const { return m_d; }
    Mode mode() const { return m_mode; }

    void load() override;
    void startNew();
    void startEdit();
    void saveNew();
    void saveEdit();
    void cancelEntry();
    void deleteCurrent();
    // true shows the input controls of the fields that have one and hides their
    // views; false the reverse.
    void showInputs(bool shown);

protected:
    // Hooks for the windows that extend the family. Those called inside a save or
    // delete run within its transaction: a DbError thrown there undoes it all.

    // Fills the drop-down lists; by default runs each list's feeder.
    virtual void fillLists();
    // One field's checks on save; by default the required test and, for an
    // amount, that it parses. Shows the message and focuses the field on failure.
    virtual bool checkField(const Maintenance::Field &field);
    // Checks of the whole row after the field checks, before the duplicate test.
    virtual bool extraChecks(Mode mode);
    // On 修改: sets the input controls from the row (dates, list choices).
    virtual void loadInputs();
    // On 新增, before the new row is entered: what its inputs start from.
    virtual void prepareNewRow();
    // Adds to or changes the columns about to be written (column name -> value).
    virtual void completeRow(QVariantMap &row, Mode mode);
    // Writes the row (column name -> value) and what goes along with it (a rename
    // carried into the entries) in one transaction; the key written. DbError
    // when refused, and nothing is kept.
    virtual QVariant storeRow(Mode mode, const QVariantMap &row);
    // Says how the ledger that storeRow writes through books what goes along.
    virtual void prepareLedger(Ledger &ledger, Mode mode)
    {
        Q_UNUSED(ledger)
        Q_UNUSED(mode)
    }
    // Deletes the row and what goes along with it in one transaction; DbError
    // when refused (a name that rows give), and nothing is deleted.
    virtual void removeRow(const QVariant &key);
    // Whether the current row may be deleted at all; says why not. Asked before
    // the confirmation.
    virtual bool mayDelete();
    virtual void openFilter() {}
    // Whether the buttons that act on the current row may: browsing on a listed row.
    virtual void rowActionsChanged(bool onRow) { Q_UNUSED(onRow); }

    // A button at the right of the edit panel, for what acts on the current row
    // besides editing it; under those added before.
    QPushButton *addPanelButton(const char *name, const QString &caption,
                                std::function<void()> clicked);

    // What the hooks read.
    QWidget *control(const QString &objectName) const;
    const Maintenance::Field &field(const QString &alias) const;
    // The field's value as typed or chosen (a date as "yyyy-MM-dd"); the row's
    // name without the blanks around it.
    QString fieldText(const QString &alias) const;
    // The amount typed in an amount field (0 when it does not parse).
    Money fieldAmount(const QString &alias) const;
    // The current row's stored value: during an edit, what the row held before it.
    QVariant storedValue(const QString &alias) const;
    // Focuses the field: its input control while entering, else the field itself.
    void focusField(const Maintenance::Field &f);
    // The table column listed under alias.
    QString columnOf(const QString &alias) const;
    // Whether an edit leaves the field's stored value alone: one moved elsewhere
    // (a balance) that the user did not change.
    bool keepsStoredValue(const Maintenance::Field &f) const;

    void currentRowChanged() override;
    // While a row is pending the cursor stays on it, so nothing bypasses Save.
    bool canMove() const override { return m_mode == Mode::Browse; }
    bool isPending() const override { return m_mode != Mode::Browse; }
    void closeEvent(QCloseEvent *event) override;
    // Whether the window may close: nothing pending, or the user drops it.
    bool mayDiscardPending();

private:
    void buildPanel();
    void buildButtons();
    // 修改 and 删除 are enabled while browsing a row.
    QWidget *makeFieldControl(const Maintenance::Field &f, QWidget *parent);
    QWidget *makeInputControl(const Maintenance::Field &f, QWidget *parent);

    void setMode(Mode mode);
    // The current row's values in the fields: amounts as the grid shows them, or
    // as they are typed.
    void showCurrentRow(bool asTyped);
    // 修改 and 删除 (and what the window adds) act only on a listed row.
    void updateButtons();
    // The row as the delete question names it: its name, or an entry's date,
    // first name and amount.
    QString rowNamed(int row) const;

    bool runChecks(Mode mode);
    // Why the current row's name may not be deleted: rows name it. Empty when it may.
    QString deletionRefusal() const;
    bool isDuplicate(Mode mode) const;
    // Refuses to write when the window's book is no longer the open one.
    void checkOwnBook() const;
    void refreshMovedFields();
    QVariant valueToWrite(const Maintenance::Field &f) const;
    QVariantMap rowToWrite(Mode mode);
    // Writes the row (and what goes along) in one transaction; the key written,
    // or null when it failed and was shown.
    QVariant writeRow(Mode mode);
    // After a write of the row by key the list follows it, reading a page rather
    // than the whole list; a failure to read it is shown.
    void listWritten(const QVariant &key, bool wasListed, bool wasUpToDate);

    Maintenance::Descriptor m_d;
    Mode m_mode = Mode::Browse;
    QGroupBox *m_panel = nullptr;
    QPushButton *m_butNew = nullptr;
    QPushButton *m_butMed = nullptr;
    QPushButton *m_butSave = nullptr;
    QPushButton *m_butSaveEdit = nullptr;
    QPushButton *m_butCan = nullptr;
    QPushButton *m_butDel = nullptr;
    QPushButton *m_butQuery = nullptr;
    class QVBoxLayout *m_panelButtons = nullptr;
    int m_rowBeforeNew = -1;
    QMap<QString, QString> m_editStart; // moved fields: their text when 修改 began
};

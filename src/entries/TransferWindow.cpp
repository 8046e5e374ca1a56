#include "entries/TransferWindow.h"

#include "core/ledger/Workspace.h"
#include "entries/EntryFilters.h"
#include "widgets/MessageBox.h"

namespace {

const QString From = QStringLiteral("原帐户");
const QString To = QStringLiteral("到帐帐户");

Entry::Descriptor transfers(std::vector<Entry::RowAction> rowActions)
{
    using namespace Entry;
    return {
        .className = "TfrmChangeT",
        .caption = "帐户转帐",
        .panelTitle = "帐户转帐",
        .table = "ChangeT",
        .dateColumn = "CDate",
        .columns = {{"CDate", "转帐日期"},
                    {"OldN", From},
                    {"NewN", To},
                    {"CMoney", "转帐余额", List::Kind::Money},
                    {"FName", "家庭成员"},
                    {"Remark", "备注"}},
        .fields = {dateField("转帐日期：", "转帐日期"),
                   listField("DBEdit2", "原  帐  户：", From, "DBLookupComboBox1",
                             &Workspace::accounts),
                   listField("DBEdit3", "到帐帐户：", To, "DBLookupComboBox2",
                             &Workspace::accounts),
                   amountField("DBEdit4", "金        额：", "转帐余额"),
                   memberField("DBEdit5", "DBLookupComboBox3"), remarkField("DBEdit6")},
        .kind = &Ledger::transfer(),
        .filter = makeFilter<TransferFilterDialog>,
        .rowActions = std::move(rowActions),
    };
}

} // namespace

TransferWindow::TransferWindow(QWidget *parent, std::vector<Entry::RowAction> rowActions)
    : EntryWindow(transfers(std::move(rowActions)), parent)
{
    load();
}

bool TransferWindow::checkField(const Maintenance::Field &f)
{
    if (!EntryWindow::checkField(f))
        return false;
    if (f.alias != To || fieldText(To) != fieldText(From))
        return true;
    Msg::plain(this, QStringLiteral("到帐帐户 不能与 原帐户 一样！请重新选择！"));
    focusField(f);
    return false;
}

void TransferWindow::completeRow(QVariantMap &row, Mode mode)
{
    if (mode == Mode::New)
        row[QStringLiteral("Remark")] = fieldText(QStringLiteral("备注")) + QLatin1Char(' ') +
                                        fieldText(From) + QStringLiteral("->") + fieldText(To);
}

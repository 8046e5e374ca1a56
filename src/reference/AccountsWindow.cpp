#include "reference/AccountsWindow.h"

#include "core/ledger/AccountKinds.h"
#include "core/ledger/Ledger.h"
#include "reference/BalanceCorrection.h"
#include "widgets/DatePicker.h"
#include "widgets/MessageBox.h"

#include <QComboBox>

namespace {

const QString BalanceAlias = QStringLiteral("帐户余额");
const QString KindAlias = QStringLiteral("帐户类型");

Maintenance::Descriptor accounts()
{
    using namespace Maintenance;
    return {
        .className = QStringLiteral("TfrmA_Manage"),
        .caption = QStringLiteral("帐户管理"),
        .panelTitle = QStringLiteral("帐户信息"),
        .table = QStringLiteral("SAccount"),
        .columns = {{"AName", "帐户名称"},
                    {"thePY", "拼音码", Kind::Hidden},
                    {"BName", "帐薄名称", Kind::Hidden},
                    {"AMoney", "帐户余额", Kind::Money},
                    // What a credit card or 花呗 owes, as a positive amount.
                    {"(case when AKind='信用卡/花呗' then -AMoney end)", "欠款", Kind::Money},
                    {"AKind", "帐户类型", Kind::Text, 90},
                    {"OpenMoney", "期初余额", Kind::Money},
                    {"OpenDate", "期初日期", Kind::Text, 100},
                    // The day of its last reconciliation with the bank (对帐).
                    {"(select max(RDate) from Reconcile r where r.BName=SAccount.BName and "
                     "r.AName=SAccount.AName)",
                     "上次对帐"},
                    {"Remark", "备注"}},
        // The kind and the opening date come after the fields the window always had.
        .fields =
            {{.name = "DBEdit1",
              .label = "帐户名称：",
              .alias = "帐户名称",
              .required = true,
              .hint = "家庭中各类帐户，如现金，金穗卡，牡丹卡，长城卡..."},
             {.name = "DBEdit2",
              .label = "帐户余额：",
              .alias = BalanceAlias,
              .kind = FieldKind::Amount,
              .required = true,
              .hint = "新帐户填它在期初日期的余额（期初余额），不计入收支；"
                      "以后修改余额时，会问差额记到哪里。",
              .movedElsewhere = true},
             {.name = "DBEdit3", .label = "备        注：", .alias = "备注", .maxLength = 100},
             {.name = "DBEdit4",
              .label = "帐户类型：",
              .alias = KindAlias,
              .kind = FieldKind::Combo,
              .required = true,
              .input = "ComboBox1",
              .hint = "信用卡、花呗是负债：余额为负表示欠款，计入负债，不算存款。"},
             {.name = "DBEdit5",
              .label = "期初日期：",
              .alias = "期初日期",
              .kind = FieldKind::Date,
              .input = "DateTimePicker1"}},
        .nameAlias = QStringLiteral("帐户名称"),
        .referencedAs = References::Kind::Account,
        // The cash account is the one the home summary panel reads by name.
        .protectedName = QStringLiteral("现金"),
        .countUnit = QStringLiteral("个帐户"),
    };
}

} // namespace

AccountsWindow::AccountsWindow(QWidget *parent) : MaintenanceWindow(accounts(), parent)
{
    static_cast<QComboBox *>(control(field(KindAlias).input))->addItems(AccountKinds::all());
    load();
}

void AccountsWindow::prepareNewRow()
{
    auto *kind = static_cast<QComboBox *>(control(field(KindAlias).input));
    kind->setCurrentIndex(kind->findText(AccountKinds::Savings));
    static_cast<DatePicker *>(control(field(QStringLiteral("期初日期")).input))
        ->setDate(QDate::currentDate());
}

bool AccountsWindow::extraChecks(Mode mode)
{
    m_correction.clear();
    if (mode != Mode::Edit || keepsStoredValue(field(BalanceAlias)))
        return true;
    // A balance typed over the one the account holds now: the difference is
    // booked where the user says.
    Money now;
    if (!Msg::guarded(this, [&] {
            now = Money::fromVariant(
                Sql(QStringLiteral("select AMoney from SAccount where ID=?"), {currentKey()})
                    .scalar());
        }))
        return false;
    const Money typed = fieldAmount(BalanceAlias);
    if (typed == now)
        return true;
    const std::optional<QString> correction =
        BalanceCorrection::ask(this, fieldText(QStringLiteral("帐户名称")), now, typed);
    if (!correction) {
        focusField(field(BalanceAlias));
        return false;
    }
    m_correction = *correction;
    return true;
}

void AccountsWindow::prepareLedger(Ledger &ledger, Mode)
{
    ledger.setBalanceCorrection(m_correction);
}

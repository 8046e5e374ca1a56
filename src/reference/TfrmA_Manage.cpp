#include "reference/TfrmA_Manage.h"

namespace {

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
                    // The day of its last reconciliation with the bank (对帐).
                    {"(select max(RDate) from Reconcile r where r.BName=SAccount.BName and "
                     "r.AName=SAccount.AName)",
                     "上次对帐"},
                    {"Remark", "备注"}},
        .fields =
            {{.name = "DBEdit1",
              .label = "帐户名称：",
              .alias = "帐户名称",
              .required = true,
              .hint = "家庭中各类帐户，如现金，金穗卡，牡丹卡，长城卡..."},
             {.name = "DBEdit2",
              .label = "帐户余额：",
              .alias = "帐户余额",
              .kind = FieldKind::Amount,
              .required = true,
              .movedElsewhere = true},
             {.name = "DBEdit3", .label = "备        注：", .alias = "备注", .maxLength = 100}},
        .nameAlias = QStringLiteral("帐户名称"),
        .referencedAs = References::Kind::Account,
        // The cash account is the one the home summary panel reads by name.
        .protectedName = QStringLiteral("现金"),
        .countUnit = QStringLiteral("个帐户"),
    };
}

} // namespace

TfrmA_Manage::TfrmA_Manage(QWidget *parent) : MaintenanceWindow(accounts(), parent)
{
    FormCreate();
}

#include "reference/CategoryWindows.h"

namespace {

struct Category
{
    const char *className;
    const char *caption;
    const char *kind; // the name's title: "收入类别"
    const char *table;
    const char *nameColumn;
    References::Kind referencedAs;
    bool rereadAfterEdit = false;
};

Maintenance::Descriptor category(const Category &c)
{
    const QString kind = QString::fromUtf8(c.kind);
    return {
        .className = QLatin1String(c.className),
        .caption = QString::fromUtf8(c.caption),
        .panelTitle = kind.left(2) + QStringLiteral("类别信息"),
        .table = QLatin1String(c.table),
        .columns = {{QLatin1String(c.nameColumn), kind},
                    {"thePY", "拼音码", List::Kind::Hidden},
                    {"BName", "帐薄名称", List::Kind::Hidden},
                    {"Remark", "备注"}},
        .fields =
            {{.name = "DBEdit1", .label = kind + "：", .alias = kind, .required = true},
             {.name = "DBEdit2", .label = "备        注：", .alias = "备注", .maxLength = 100}},
        .nameAlias = kind,
        .referencedAs = c.referencedAs,
        .modifyCaption = QStringLiteral("修改（&E）"),
        .rereadAfterEdit = c.rereadAfterEdit,
    };
}

} // namespace

IncomeCategoriesWindow::IncomeCategoriesWindow(QWidget *parent)
    : MaintenanceWindow(category({"TfrmIn_Manage", "收入类别", "收入类别", "InD", "IName",
                                  References::Kind::IncomeCategory}),
                        parent)
{
    load();
}

ExpenseCategoriesWindow::ExpenseCategoriesWindow(QWidget *parent)
    : MaintenanceWindow(category({"TfrmOut_Manage", "支出类别", "支出类别", "OutD", "OName",
                                  References::Kind::ExpenseCategory}),
                        parent)
{
    load();
}

// A rename here shows the list again from its first row.
InvestmentCategoriesWindow::InvestmentCategoriesWindow(QWidget *parent)
    : MaintenanceWindow(category({"TfrmT_Manage", "投资分类", "投资类别", "TD", "TName",
                                  References::Kind::InvestmentCategory, true}),
                        parent)
{
    load();
}

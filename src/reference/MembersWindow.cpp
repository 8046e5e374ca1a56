#include "reference/MembersWindow.h"

#include "widgets/DatePicker.h"

namespace {

Maintenance::Descriptor family()
{
    using namespace Maintenance;
    return {
        .className = QStringLiteral("TfrmFamily"),
        .caption = QStringLiteral("家庭成员管理"),
        .panelTitle = QStringLiteral("家庭成员信息"),
        .table = QStringLiteral("SFamily"),
        .columns = {{"FName", "姓名"},
                    {"thePY", "拼音码", Kind::Hidden},
                    {"theGX", "关系"},
                    {"BirDate", "生日"},
                    {"Remark", "备注"}},
        .fields = {{.name = "DBEdit1", .label = "姓名：", .alias = "姓名", .required = true},
                   {.name = "DBEdit2", .label = "关系：", .alias = "关系"},
                   {.name = "DBEdit3",
                    .label = "生日：",
                    .alias = "生日",
                    .kind = FieldKind::Date,
                    .input = "DateTimePicker1"},
                   {.name = "DBEdit4", .label = "备注：", .alias = "备注", .maxLength = 100}},
        .nameAlias = QStringLiteral("姓名"),
        .perBook = false,
        .referencedAs = References::Kind::Member,
    };
}

} // namespace

MembersWindow::MembersWindow(QWidget *parent) : MaintenanceWindow(family(), parent)
{
    findChild<DatePicker *>(QStringLiteral("DateTimePicker1"))->setOptional(true);
    load();
}

void MembersWindow::prepareNewRow()
{
    findChild<DatePicker *>(QStringLiteral("DateTimePicker1"))->clear();
}

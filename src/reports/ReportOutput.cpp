#include "reports/ReportOutput.h"

#include "widgets/MessageBox.h"

namespace ReportOutput {

void exportWorkbook(QWidget *parent, const QString &, const QString &, const ShownTable &, Form)
{
    Msg::plain(parent, QStringLiteral("导出到 Excel 的功能尚未完成，请以后再试。"));
}

void print(QWidget *parent, const QString &, const ShownTable &)
{
    Msg::plain(parent, QStringLiteral("打印功能尚未完成，请以后再试。"));
}

} // namespace ReportOutput

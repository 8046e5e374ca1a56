#include "reports/ReportOutput.h"

#include "widgets/MessageBox.h"

namespace ReportOutput {

void exportWorkbook(QWidget *parent, const Report &)
{
    Msg::plain(parent, QStringLiteral("导出到 Excel 的功能尚未完成，请以后再试。"));
}

void print(QWidget *parent, const Report &)
{
    Msg::plain(parent, QStringLiteral("打印功能尚未完成，请以后再试。"));
}

} // namespace ReportOutput

#include "app/ManualWindow.h"

#include "widgets/Resources.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

ManualWindow::ManualWindow(QWidget *parent) : QWidget(parent)
{
    initBundledPages();
    setObjectName(QStringLiteral("TfrmFirstUse"));
    setWindowTitle(QStringLiteral("第一次使用"));
    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setOpenExternalLinks(true); // web and mail links go to the desktop
    WebBrowser1->document()->setDocumentMargin(12);
    WebBrowser1->setSource(manual());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WebBrowser1);
}

QUrl ManualWindow::manual()
{
    return QUrl(QStringLiteral("qrc:/manual/index.html"));
}

#include "app/AboutDialog.h"

#include "app/ProjectLinks.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *addLine(QGridLayout *grid, const QString &caption, const QString &value, const char *name)
{
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(caption), row, 0);
    auto *label = new QLabel(value);
    label->setObjectName(QLatin1String(name));
    grid->addWidget(label, row, 1);
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TfrmAbout"));
    setWindowTitle(QStringLiteral("关于..."));

    auto *icon = new QLabel;
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(10);
    addLine(grid, QStringLiteral("产品名称："), QStringLiteral("青禾簿"), "LabName");
    addLine(grid, QStringLiteral("产品版本："), version(), "LabVersion");
    addLine(grid, QStringLiteral("版权所有："), QStringLiteral("© 2026 青禾簿开发组"), "LabRights");
    addLine(grid, QStringLiteral("许可说明："),
            QStringLiteral("本程序免费使用，数据只保存在您的电脑上。"), "LabNotice");
    QLabel *web =
        addLine(grid, QStringLiteral("企业网站："),
                QStringLiteral("<a href=\"%1\">%1</a>").arg(ProjectLinks::pageAddress()), "LabWeb");
    web->setTextFormat(Qt::RichText);
    web->setOpenExternalLinks(true); // handed to the desktop's browser

    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(grid, 1);

    auto *ok = new QPushButton(QStringLiteral("确认（&O）"));
    ok->setObjectName(QStringLiteral("ButOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString AboutDialog::version()
{
    return QString::fromLatin1(QINGHEBU_VERSION);
}

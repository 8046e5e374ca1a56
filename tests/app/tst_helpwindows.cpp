#include "app/ProjectLinks.h"
#include "app/TfrmAbout.h"
#include "app/TfrmFirstUse.h"
#include "app/TfrmMain.h"
#include "data/TfrmDM.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

// Records the addresses handed to the desktop instead of opening them.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const char *scheme : {"mailto", "http", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char *scheme : {"mailto", "http", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestHelpWindows : public QObject
{
    Q_OBJECT
private slots:
    void aboutShowsNameVersionAndLink();
    void firstUseAndHelpOpenTheManualWithItsPictures();
    void contactAndFeedbackGoToTheDesktop();
    void calculatorStartsTheFirstOneFoundOrSaysNoneIs();
};

namespace {

void trigger(TfrmMain &main, const char *item)
{
    main.findChild<QAction *>(QLatin1String(item))->trigger();
}

QStringList manualImages(const QString &html)
{
    QStringList names;
    static const QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\""));
    for (const QRegularExpressionMatch &m : img.globalMatch(html))
        names << m.captured(1);
    return names;
}

} // namespace

void TestHelpWindows::aboutShowsNameVersionAndLink()
{
    TestEnvironment env;
    TfrmMain main;
    QVERIFY(env.dm()->currentBook().isEmpty());
    QString title, name, version, web;
    bool linkOpens = false;
    Drive::whenModal([&](QWidget *dialog) {
        title = dialog->windowTitle();
        name = Drive::text(dialog, "LabName");
        version = Drive::text(dialog, "LabVersion");
        auto *link = Drive::find<QLabel>(dialog, "LabWeb");
        web = link->text();
        linkOpens = link->openExternalLinks();
        Drive::click(dialog, "ButOK");
    });
    trigger(main, "A2");
    QCOMPARE(title, QString("关于..."));
    QCOMPARE(name, QString("青禾簿"));
    QCOMPARE(version, TfrmAbout::version());
    QVERIFY2(QRegularExpression("^\\d+\\.\\d+\\.\\d+$").match(version).hasMatch(),
             qPrintable(version));
    QVERIFY(web.contains(QString("href=\"%1\"").arg(ProjectLinks::pageAddress())));
    QVERIFY(linkOpens);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestHelpWindows::firstUseAndHelpOpenTheManualWithItsPictures()
{
    TestEnvironment env;
    TfrmMain main;
    trigger(main, "F1");
    trigger(main, "F1");
    trigger(main, "H2");
    const QList<QMdiSubWindow *> windows = main.mdiArea()->subWindowList();
    QCOMPARE(windows.size(), 3);
    for (QMdiSubWindow *sub : windows) {
        auto *window = qobject_cast<TfrmFirstUse *>(sub->widget());
        QVERIFY(window);
        QVERIFY(sub->isMaximized());
        QCOMPARE(window->windowTitle(), QString("第一次使用"));
    }

    QTextBrowser *browser = qobject_cast<TfrmFirstUse *>(windows.first()->widget())->browser();
    const QString text = browser->toPlainText();
    for (const char *topic :
         {"初始密码", "480726", "帐簿与密码", "帐户、类别", "记帐", "债务", "债权", "投资", "查询",
          "导出与打印", "报表与图表", "备份与恢复", "自动备份", "数据保存在哪里"})
        QVERIFY2(text.contains(QString::fromUtf8(topic)), topic);

    QFile page(":/manual/index.html");
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QStringList images = manualImages(QString::fromUtf8(page.readAll()));
    QVERIFY(images.size() >= 5);
    for (const QString &image : images) {
        const QVariant data = browser->loadResource(QTextDocument::ImageResource, QUrl(image));
        QVERIFY2(!QImage::fromData(data.toByteArray()).isNull(), qPrintable(image));
    }
}

void TestHelpWindows::contactAndFeedbackGoToTheDesktop()
{
    TestEnvironment env;
    UrlRecorder urls;
    TfrmMain main;
    trigger(main, "C1");
    trigger(main, "N31");
    QCOMPARE(urls.opened.size(), 2);
    QCOMPARE(urls.opened[0].scheme(), QString("mailto"));
    QCOMPARE(urls.opened[0].path(), ProjectLinks::mailAddress());
    QCOMPARE(urls.opened[1], ProjectLinks::page());
}

void TestHelpWindows::calculatorStartsTheFirstOneFoundOrSaysNoneIs()
{
    TestEnvironment env;
    MessageRecorder messages;
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
    qputenv("PATH", bin.path().toLocal8Bit());
    TfrmMain main;

    trigger(main, "N19");
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(messages.lastText().startsWith("没有找到计算器程序。"));

    // Two calculators: the one earlier in the usual order is started.
    const QString ran = bin.filePath("ran");
    for (const char *name : {"xcalc", "galculator"}) {
        QFile script(bin.filePath(QLatin1String(name)));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QString("#!/bin/sh\necho %1 >> '%2'\n").arg(name, ran).toLocal8Bit());
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }
    trigger(main, "N19");
    QTRY_VERIFY(QFileInfo(ran).size() > 0);
    QFile result(ran);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), QByteArray("galculator\n"));
    QCOMPARE(messages.messages.size(), 1);
}

QTEST_MAIN(TestHelpWindows)
#include "tst_helpwindows.moc"

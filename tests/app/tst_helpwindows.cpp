#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "app/ManualWindow.h"
#include "app/ProjectLinks.h"
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
        for (const char *scheme : {"mailto", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char *scheme : {"mailto", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

// Every item of the help and tools menus, with no book open.
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
void trigger(MainWindow &main, const char *item)
{
    main.findChild<QAction *>(QLatin1String(item))->trigger();
}
} // namespace

void TestHelpWindows::aboutShowsNameVersionAndLink()
{
    TestEnvironment env;
    MainWindow main;
    QStringList shown;
    Drive::whenModal([&](QWidget *dialog) {
        shown << dialog->windowTitle() << Drive::text(dialog, "LabName")
              << Drive::text(dialog, "LabVersion");
        auto *link = Drive::find<QLabel>(dialog, "LabWeb");
        QVERIFY(link->openExternalLinks());
        shown << link->text();
        Drive::click(dialog, "ButOK");
    });
    trigger(main, "A2");
    QCOMPARE(shown.mid(0, 3), QStringList({"关于...", "青禾簿", AboutDialog::version()}));
    QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.\\d+$").match(AboutDialog::version()).hasMatch());
    QVERIFY(shown[3].contains(QString("href=\"%1\"").arg(ProjectLinks::pageAddress())));
}

void TestHelpWindows::firstUseAndHelpOpenTheManualWithItsPictures()
{
    TestEnvironment env;
    MainWindow main;
    for (const char *item : {"F1", "F1", "H2"})
        trigger(main, item);
    const QList<QMdiSubWindow *> windows = main.mdiArea()->subWindowList();
    QCOMPARE(windows.size(), 3);
    for (QMdiSubWindow *sub : windows)
        QVERIFY(qobject_cast<ManualWindow *>(sub->widget()) && sub->isMaximized());

    QTextBrowser *browser = qobject_cast<ManualWindow *>(windows.first()->widget())->browser();
    for (const char *topic : {"首页", "净资产", "快捷键", "债权", "导出与打印", "自动备份",
                              "导入支付宝", "数据保存在哪里"})
        QVERIFY2(browser->toPlainText().contains(QString::fromUtf8(topic)), topic);
    QFile page(":/manual/index.html");
    QVERIFY(page.open(QIODevice::ReadOnly));
    static const QRegularExpression img("<img src=\"([^\"]+)\"");
    int pictures = 0;
    for (const QRegularExpressionMatch &m : img.globalMatch(QString::fromUtf8(page.readAll()))) {
        const QVariant data = browser->loadResource(QTextDocument::ImageResource, m.captured(1));
        QVERIFY2(!QImage::fromData(data.toByteArray()).isNull(), qPrintable(m.captured(1)));
        ++pictures;
    }
    QVERIFY(pictures >= 5);
}

void TestHelpWindows::contactAndFeedbackGoToTheDesktop()
{
    TestEnvironment env;
    UrlRecorder urls;
    MainWindow main;
    trigger(main, "C1");
    trigger(main, "N31");
    QCOMPARE(urls.opened.size(), 2);
    QCOMPARE(urls.opened[0].scheme() + ":" + urls.opened[0].path(),
             "mailto:" + ProjectLinks::mailAddress());
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
    MainWindow main;

    trigger(main, "N19");
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(messages.lastText().startsWith("没有找到计算器程序。"));

    // Of two calculators, the one earlier in the usual order is started.
    const QString ran = bin.filePath("ran");
    for (const char *name : {"xcalc", "galculator"}) {
        QFile script(bin.filePath(QLatin1String(name)));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QString("#!/bin/sh\necho %1 >> '%2'\n").arg(name, ran).toLocal8Bit());
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

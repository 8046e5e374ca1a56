#include "app/ChineseUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>

// On a machine set to English the program still speaks Chinese: its locale and
// Qt's own texts (message-box buttons, file dialogs, calendars).
class TestChineseUi : public QObject
{
    Q_OBJECT
private slots:
    void qtSpeaksChineseOnAnEnglishSystem();
};

void TestChineseUi::qtSpeaksChineseOnAnEnglishSystem()
{
    QVERIFY2(useChineseUi(*qApp), "Qt's zh_CN translation was not found");
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    QCOMPARE(QLocale::system().language(), QLocale::Chinese); // file dialogs' dates

    QMessageBox box(QMessageBox::Question, "t", "t", QMessageBox::Yes | QMessageBox::No);
    QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QString::fromUtf8("是")));
    QVERIFY(box.button(QMessageBox::No)->text().startsWith(QString::fromUtf8("否")));

    QCalendarWidget calendar;
    calendar.setCurrentPage(2024, 3);
    auto *month = calendar.findChild<QToolButton *>("qt_calendar_monthbutton");
    QVERIFY(month);
    QCOMPARE(month->text(), QString::fromUtf8("三月"));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QStringList buttons;
    for (QAbstractButton *b : files.findChild<QDialogButtonBox *>()->buttons())
        buttons << b->text();
    QVERIFY2(buttons.join(' ').contains(QString::fromUtf8("取消")), qPrintable(buttons.join(' ')));
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"),
             QString::fromUtf8("文件夹"));
}

int main(int argc, char *argv[])
{
    // An English system, whatever the machine running the test is set to.
    qputenv("LANG", "en_US.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    chooseChineseLocale();
    QApplication app(argc, argv);
    TestChineseUi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chineseui.moc"

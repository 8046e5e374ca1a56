#include "data/TfrmDM.h"
#include "support/TestSupport.h"
#include "widgets/MaintenanceWindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QTest>

// The family as an entry window extends it: drop-down lists, views swapped for
// inputs, a filter, and balance adjustments written with the row.
class TestMaintenanceWindow : public QObject
{
    Q_OBJECT
private slots:
    void checksRunInFieldOrder();
    void balanceEffectsShareTheRowsTransaction();
    void inputsStandInForViewsWhileEntering();
    void filterAndOrderShapeTheList();
};

namespace {

Maintenance::Descriptor incomeDescriptor()
{
    using namespace Maintenance;
    return {
        .className = "TestIncome",
        .caption = "收入",
        .panelTitle = "收入",
        .table = "InTable",
        .columns = {{"BName", "帐薄名称", true},
                    {"IDate", "日期"},
                    {"IName", "收入类别"},
                    {"IMoney", "金额"},
                    {"AName", "帐户名称"},
                    {"FName", "家庭成员"},
                    {"Remark", "备注"}},
        .fields = {{.name = "DBEdit1",
                    .label = "收入日期：",
                    .alias = "日期",
                    .kind = FieldKind::Date,
                    .input = "DateTimePicker1"},
                   {.name = "DBEdit2",
                    .label = "收入类别：",
                    .alias = "收入类别",
                    .kind = FieldKind::Combo,
                    .required = true,
                    .input = "DBLookupComboBox1",
                    .feeder = &TfrmDM::DBComInType},
                   {.name = "DBEdit3",
                    .label = "金        额：",
                    .alias = "金额",
                    .kind = FieldKind::Amount,
                    .required = true},
                   {.name = "DBEdit4",
                    .label = "帐户名称：",
                    .alias = "帐户名称",
                    .kind = FieldKind::Combo,
                    .required = true,
                    .input = "DBLookupComboBox2",
                    .feeder = &TfrmDM::DBComAccount},
                   {.name = "DBEdit5",
                    .label = "家庭成员：",
                    .alias = "家庭成员",
                    .kind = FieldKind::Combo,
                    .input = "DBLookupComboBox3",
                    .feeder = &TfrmDM::DBComFamily},
                   {.name = "DBEdit6", .label = "备        注：", .alias = "备注"}},
        .pinyin = false,
        .duplicateTest = false,
        .modifyCaption = "修改（&E）",
        .orderBy = " order by IDate Desc",
        .rereadAfterEdit = true,
        .queryButton = true,
    };
}

class IncomeWindow : public MaintenanceWindow
{
public:
    IncomeWindow() : MaintenanceWindow(incomeDescriptor()) { FormCreate(); }
    int queries = 0;

protected:
    void writeAlongside(Mode mode) override
    {
        if (mode == Mode::Edit)
            takeStoredEffectOff();
        TfrmDM::instance()->AccountUp(fieldAmount("金额"), fieldText("帐户名称"));
    }
    void deleteAlongside() override { takeStoredEffectOff(); }
    void ButQueryClick() override { ++queries; }

private:
    void takeStoredEffectOff()
    {
        TfrmDM::instance()->AccountDown(Money::fromVariant(storedValue("金额")),
                                        storedValue("帐户名称").toString());
    }
};

void seed(TestEnvironment &env)
{
    Db::insertAccount("家", "现金");
    Db::insertAccount("家", "工资卡");
    Db::exec("insert into InD (IName, BName) values ('工资', '家'), ('奖金', '家')");
    Db::exec("insert into SFamily (FName) values ('爸爸')");
    env.dm()->setCurrentBook("家");
}

void enterIncome(QWidget *w, const QString &category, const QString &amount, const QString &account)
{
    Drive::choose(w, "DBLookupComboBox1", category);
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox2", account);
}

} // namespace

void TestMaintenanceWindow::checksRunInFieldOrder()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    IncomeWindow w;
    w.show();
    Drive::click(&w, "ButNew");
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DateTimePicker1"));
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("请选择 收入类别！"));
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DBLookupComboBox1"));
    Drive::choose(&w, "DBLookupComboBox1", "工资");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("金额不能为空！请重新录入！"));
    Drive::setText(&w, "DBEdit3", "100");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("请选择 帐户名称！"));
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DBLookupComboBox2"));
    QCOMPARE(Db::count("select count(*) from InTable"), 0);

    Drive::choose(&w, "DBLookupComboBox2", "现金");
    Drive::click(&w, "ButSave"); // no member and no remark is fine
    QCOMPARE(messages.messages.size(), 3);
    QCOMPARE(Db::value("select FName||'|'||Remark from InTable").toString(), QString("|"));
}

void TestMaintenanceWindow::balanceEffectsShareTheRowsTransaction()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    IncomeWindow w;
    w.show();

    Drive::click(&w, "ButNew");
    enterIncome(&w, "工资", "100", "现金");
    Drive::click(&w, "ButSave");
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("100"));

    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit3", "80");
    Drive::choose(&w, "DBLookupComboBox2", "工资卡");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::balance("家", "工资卡"), *Money::parse("80"));

    // The row cannot be written: the adjustment made before it is undone too.
    Db::exec("create trigger refuse before insert on InTable "
             "begin select raise(abort, '写入失败'); end");
    Drive::click(&w, "ButNew");
    enterIncome(&w, "奖金", "50", "现金");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(messages.lastText().contains("写入失败"));
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::New);
    QCOMPARE(Db::balance("家", "现金"), Money());
    Drive::click(&w, "ButCan");

    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButDel");
    QCOMPARE(Db::balance("家", "工资卡"), Money());
    QCOMPARE(Db::count("select count(*) from InTable"), 0);
}

void TestMaintenanceWindow::inputsStandInForViewsWhileEntering()
{
    TestEnvironment env;
    seed(env);
    Db::exec("insert into InTable (BName, IDate, IName, IMoney, AName, FName) "
             "values ('家', '2024-02-29', '旧类别', 123400, '工资卡', '爸爸')");
    IncomeWindow w;
    w.show();
    const QStringList views = {"DBEdit1", "DBEdit2", "DBEdit4", "DBEdit5"};
    const QStringList inputs = {"DateTimePicker1", "DBLookupComboBox1", "DBLookupComboBox2",
                                "DBLookupComboBox3"};
    const auto shown = [&](const QStringList &names) {
        for (const QString &name : names)
            if (Drive::widget(&w, name)->isHidden())
                return false;
        return true;
    };
    QVERIFY(shown(views) && !shown(inputs));
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("12.34"));
    QCOMPARE(Drive::find<QComboBox>(&w, "DBLookupComboBox1")->count(), 2);
    QCOMPARE(Drive::find<QComboBox>(&w, "DBLookupComboBox1")->currentIndex(), -1);

    Drive::click(&w, "ButMed");
    QVERIFY(shown(inputs) && !shown(views));
    QCOMPARE(Drive::find<QDateEdit>(&w, "DateTimePicker1")->date(), QDate(2024, 2, 29));
    QCOMPARE(Drive::text(&w, "DBLookupComboBox1"), QString()); // renamed since: no choice
    QCOMPARE(Drive::text(&w, "DBLookupComboBox2"), QString("工资卡"));
    QCOMPARE(Drive::text(&w, "DBLookupComboBox3"), QString("爸爸"));
    Drive::click(&w, "ButCan");
    QVERIFY(shown(views) && !shown(inputs));

    // 新增 keeps what the inputs showed last.
    Drive::click(&w, "ButNew");
    QCOMPARE(Drive::text(&w, "DBLookupComboBox2"), QString("工资卡"));
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString());
}

void TestMaintenanceWindow::filterAndOrderShapeTheList()
{
    TestEnvironment env;
    seed(env);
    Db::exec("insert into InTable (BName, IDate, IName, IMoney, AName) values "
             "('家', '2024-01-01', '工资', 1, '现金'), ('家', '2024-03-01', '奖金', 2, '现金'), "
             "('家', '2024-02-01', '工资', 3, '现金'), ('别家', '2024-04-01', '工资', 4, '现金')");
    IncomeWindow w;
    w.show();
    QCOMPARE(Drive::titles(&w, "DBGrid1"),
             QStringList({"日期", "收入类别", "金额", "帐户名称", "家庭成员", "备注"}));
    QCOMPARE(Drive::column(&w, "DBGrid1", "日期"),
             QStringList({"2024-03-01", "2024-02-01", "2024-01-01"}));

    w.applyFilter(Condition(" and IName=?", {"工资"}));
    QCOMPARE(Drive::column(&w, "DBGrid1", "日期"), QStringList({"2024-02-01", "2024-01-01"}));
    Drive::click(&w, "ButQuery");
    QCOMPARE(w.queries, 1);
    Drive::click(&w, "ButNew");
    QVERIFY(!Drive::widget(&w, "ButQuery")->isEnabled());
}

QTEST_MAIN(TestMaintenanceWindow)
#include "tst_maintenancewindow.moc"

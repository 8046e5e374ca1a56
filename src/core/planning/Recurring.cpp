#include "core/planning/Recurring.h"

#include "core/ledger/Sharing.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QSqlQuery>
#include <algorithm>

namespace Recurring {

namespace {

// A rule that never ends stops being read here: some 27 years of days.
constexpr int MostOccurrences = 10000;

QDate nominal(const Rule &rule, int k)
{
    const int steps = k * rule.every;
    switch (rule.unit) {
    case Unit::Day:
        return rule.start.addDays(steps);
    case Unit::Week:
        return rule.start.addDays(7 * qint64(steps));
    case Unit::Month: {
        // Counted from the start each time: the 31st falls on the last day of a
        // shorter month and on the 31st again after it.
        const QDate day = rule.start.addMonths(steps);
        return rule.lastDayOfMonth ? QDate(day.year(), day.month(), day.daysInMonth()) : day;
    }
    case Unit::Year:
        return rule.start.addYears(steps);
    }
    return {};
}

QDate offWeekend(const QDate &day, Weekend weekend)
{
    const int weekday = day.dayOfWeek(); // 6 Saturday, 7 Sunday
    if (weekday < 6 || weekend == Weekend::Keep)
        return day;
    return weekend == Weekend::Earlier ? day.addDays(5 - weekday) : day.addDays(8 - weekday);
}

template <typename E> E choice(const QStringList &texts, const QString &text)
{
    return E(std::max(0, int(texts.indexOf(text))));
}

Schedule scheduleOf(const QSqlQuery &row)
{
    const auto text = [&row](const char *name) {
        return row.value(QLatin1String(name)).toString();
    };
    Schedule s;
    s.id = row.value(QStringLiteral("ID")).toLongLong();
    s.book = text("BName");
    s.kind = text("Kind");
    s.name = s.kind == Text::Income    ? text("IName")
             : s.kind == Text::Expense ? text("OName")
                                       : text("NewN");
    s.account = text("AName");
    s.amount = Money::fromVariant(row.value(QStringLiteral("SMoney")));
    s.member = text("FName");
    s.remark = text("Remark");
    s.rule.start = QDate::fromString(text("SDate"), dateFormat());
    s.rule.every = std::max(1, row.value(QStringLiteral("Every")).toInt());
    s.rule.unit = choice<Unit>(Text::units(), text("Unit"));
    s.rule.lastDayOfMonth = text("MonthDay") == Text::monthDays().at(1);
    const int ending = int(Text::endings().indexOf(text("Ending")));
    if (ending == 1)
        s.rule.until = QDate::fromString(text("EndDate"), dateFormat());
    if (ending == 2)
        s.rule.times = std::max(1, row.value(QStringLiteral("Times")).toInt());
    s.rule.weekend = choice<Weekend>(Text::weekends(), text("Weekend"));
    s.estimate = text("AmountMode") == Text::amountModes().at(1);
    s.automatic = text("PostMode") == Text::postingModes().at(1);
    return s;
}

std::vector<Schedule> read(const Sql &sql)
{
    std::vector<Schedule> out;
    QSqlQuery rows = sql.exec();
    while (rows.next())
        out.push_back(scheduleOf(rows));
    return out;
}

// Refuses an occurrence posted or skipped already (another window, a run before a
// crash); the post's unique key would refuse it too, less readably.
void requireDue(const Due &due)
{
    if (Sql(QStringLiteral("select 1 from SchedulePost where SID=? and PDate=?"),
            {due.schedule.id, isoDate(due.occurrence.due)})
            .hasRows())
        throw DbError(postedAlreadyMessage());
}

// The identity of what posting an occurrence writes (`what`: its entry, its post),
// made from the schedule and the day: an occurrence posted on two computers of the
// household is one entry.
QString occurrenceIdentity(const Due &due, const QString &what)
{
    const QString schedule =
        Sql(QStringLiteral("select SyncID from Schedule where ID=?"), {due.schedule.id})
            .scalar()
            .toString();
    return Sharing::identityOf(Sharing::bookIdentity(due.schedule.book),
                               {schedule, isoDate(due.occurrence.due), what});
}

// Writes the post of one occurrence: the entry's table and key, none when skipped.
void notePost(Ledger &ledger, const Due &due, const QDate &date, const QString &table,
              const QVariant &entry)
{
    ledger.insertRow(QStringLiteral("SchedulePost"),
                     {{QStringLiteral("SID"), due.schedule.id},
                      {QStringLiteral("PDate"), isoDate(due.occurrence.due)},
                      {QStringLiteral("EDate"), isoDate(date)},
                      {QStringLiteral("ETable"), table},
                      {QStringLiteral("EID"), entry},
                      {QStringLiteral("SyncID"), occurrenceIdentity(due, QStringLiteral("post"))}});
}

QVariant postOne(Ledger &ledger, const Due &due, const Changes &changes)
{
    const Schedule &s = due.schedule;
    const QDate date = changes.date.value_or(due.occurrence.date);
    QVariantMap row = s.entry(date);
    const Ledger::EntryKind &kind = s.entryKind();
    if (changes.amount)
        row[QLatin1String(kind.legs.front().amount)] = changes.amount->toVariant();
    if (changes.account)
        row[QLatin1String(kind.legs.front().account)] = *changes.account;
    if (changes.remark)
        row[QStringLiteral("Remark")] = *changes.remark;
    requireDue(due);
    row[QStringLiteral("SyncID")] = occurrenceIdentity(due, QStringLiteral("entry"));
    const QVariant key = ledger.save(kind, row);
    notePost(ledger, due, date, QLatin1String(kind.table), key);
    return key;
}

} // namespace

std::vector<Occurrence> occurrences(const Rule &rule, const QDate &through)
{
    std::vector<Occurrence> out;
    if (!rule.start.isValid() || rule.every < 1)
        return out;
    // A Saturday moved later lands two days on: look that far past `through`.
    const QDate lastDue = through.addDays(2);
    for (int k = 0; k < MostOccurrences; ++k) {
        if (rule.times > 0 && k >= rule.times)
            break;
        const QDate due = nominal(rule, k);
        if (due > lastDue || (rule.until.isValid() && due > rule.until))
            break;
        const QDate date = offWeekend(due, rule.weekend);
        if (date <= through)
            out.push_back({due, date});
    }
    return out;
}

namespace Text {
QStringList kinds()
{
    return {Income, Expense, Transfer};
}
QStringList units()
{
    return {QStringLiteral("天"), QStringLiteral("周"), QStringLiteral("月"), QStringLiteral("年")};
}
QStringList monthDays()
{
    return {QStringLiteral("同开始日"), QStringLiteral("月末")};
}
QStringList endings()
{
    return {QStringLiteral("一直重复"), QStringLiteral("到结束日期为止"),
            QStringLiteral("重复次数")};
}
QStringList weekends()
{
    return {QStringLiteral("不调整"), QStringLiteral("提前到周五"), QStringLiteral("推后到周一")};
}
QStringList amountModes()
{
    return {QStringLiteral("固定金额"), QStringLiteral("估计金额（记帐前确认）")};
}
QStringList postingModes()
{
    return {QStringLiteral("列出待我确认"), QStringLiteral("到期自动记帐")};
}
} // namespace Text

const Ledger::EntryKind &Schedule::entryKind() const
{
    return kind == Text::Income    ? Ledger::income()
           : kind == Text::Expense ? Ledger::expense()
                                   : Ledger::transfer();
}

QVariantMap Schedule::entry(const QDate &date) const
{
    const Ledger::EntryKind &k = entryKind();
    QVariantMap row{{QLatin1String(k.dateColumn), isoDate(date)},
                    {QLatin1String(k.legs.front().amount), amount.toVariant()},
                    {QLatin1String(k.legs.front().account), account},
                    {QStringLiteral("FName"), member},
                    {QStringLiteral("Remark"), remark}};
    if (k.nameColumn)
        row[QLatin1String(k.nameColumn)] = name;
    else
        row[QLatin1String(k.legs.back().account)] = name;
    return row;
}

std::vector<Schedule> schedules(const QString &book)
{
    return read(Sql(QStringLiteral("select * from Schedule where BName=? order by ID"), {book}));
}

std::optional<Schedule> schedule(const QString &book, qint64 id)
{
    const std::vector<Schedule> found =
        read(Sql(QStringLiteral("select * from Schedule where BName=? and ID=?"), {book, id}));
    return found.empty() ? std::nullopt : std::optional(found.front());
}

std::vector<Due> due(const QString &book, const QDate &today)
{
    std::vector<Due> out;
    for (const Schedule &s : schedules(book)) {
        QSet<QString> done;
        QSqlQuery posts =
            Sql(QStringLiteral("select PDate from SchedulePost where SID=?"), {s.id}).exec();
        while (posts.next())
            done.insert(posts.value(0).toString());
        for (const Occurrence &o : occurrences(s.rule, today))
            if (!done.contains(isoDate(o.due)))
                out.push_back({s, o});
    }
    std::stable_sort(out.begin(), out.end(), [](const Due &a, const Due &b) {
        return a.occurrence.date < b.occurrence.date;
    });
    return out;
}

QString postedAlreadyMessage()
{
    return QStringLiteral("这一次周期记帐已经记过帐或已跳过（可能在其他窗口中），不能再记！");
}

namespace {

QString describe(const Due &due)
{
    const Schedule &s = due.schedule;
    return QStringLiteral("周期记帐 %1 %2 %3 %4")
        .arg(s.kind, isoDate(due.occurrence.date), s.name, s.amount.toShown());
}

} // namespace

void post(const QString &book, const std::vector<Due> &dues, const QString &window)
{
    if (dues.empty())
        return;
    Ledger ledger(book);
    ledger.setWindow(window);
    QString description = describe(dues.front());
    if (dues.size() > 1)
        description += QStringLiteral(" 等 %1 笔").arg(dues.size());
    ledger.setDescription(description);
    for (const Due &d : dues)
        postOne(ledger, d, {});
    ledger.commit();
}

void post(const QString &book, const Due &due, const Changes &changes, const QString &window)
{
    Ledger ledger(book);
    ledger.setWindow(window);
    ledger.setDescription(describe(due));
    postOne(ledger, due, changes);
    ledger.commit();
}

void skip(const QString &book, const std::vector<Due> &dues, const QString &window)
{
    if (dues.empty())
        return;
    Ledger ledger(book);
    ledger.setWindow(window);
    QString description = QStringLiteral("跳过") + describe(dues.front());
    if (dues.size() > 1)
        description += QStringLiteral(" 等 %1 笔").arg(dues.size());
    ledger.setDescription(description);
    for (const Due &d : dues) {
        requireDue(d);
        notePost(ledger, d, d.occurrence.date, QString(), QVariant());
    }
    ledger.commit();
}

void remove(const QString &book, qint64 id, const QString &window)
{
    Ledger ledger(book);
    ledger.setWindow(window);
    QSqlQuery posts =
        Sql(QStringLiteral("select ID from SchedulePost where SID=? and BName=?"), {id, book})
            .exec();
    while (posts.next())
        ledger.removeRow(QStringLiteral("SchedulePost"), posts.value(0));
    ledger.removeRow(QStringLiteral("Schedule"), id);
    ledger.commit();
}

} // namespace Recurring

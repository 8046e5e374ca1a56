#include "core/bills/ImportPlan.h"

#include "core/ledger/Sharing.h"
#include "data/Dates.h"
#include "data/Sql.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <map>
#include <tuple>

namespace Import {

QString statusName(Status status)
{
    static const char *const names[] = {"新", "重复", "跳过", "退款", "转帐", "待确认"};
    return QString::fromUtf8(names[int(status)]);
}

QString kindName(Kind kind)
{
    static const char *const names[] = {"支出", "收入", "转帐"};
    return QString::fromUtf8(names[int(kind)]);
}

QString entryIdentity(const QString &book, const QString &billKey, const QString &table)
{
    return Sharing::identityOf(book, {billKey, table});
}

namespace {

// Whether the book holds the entry the bill became, however it came to be there.
bool holdsEntryOf(const QString &book, const Bills::Row &row)
{
    const QString table = row.refund || row.direction == Bills::Direction::Expense
                              ? QStringLiteral("OutTable")
                          : row.direction == Bills::Direction::Income ? QStringLiteral("InTable")
                                                                      : QStringLiteral("ChangeT");
    return Sql(QStringLiteral("select 1 from %1 where SyncID=?").arg(table),
               {entryIdentity(book, row.key, table)})
        .hasRows();
}

bool isApp(const Bills::Document &document)
{
    return document.source != Bills::Source::Bank;
}

// The bank, the kind of card and its last digits a payment method names.
struct Card
{
    QString bank, kind, digits;
};

Card cardOf(const QString &method)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(.*?银行)(储蓄卡|借记卡|信用卡)?[^(（]*(?:[(（](\\d{4})[)）])?"));
    const auto m = pattern.match(method);
    if (!m.hasMatch())
        return {};
    QString kind = m.captured(2);
    if (kind == u"借记卡")
        kind = QStringLiteral("储蓄卡");
    return {m.captured(1), kind, m.captured(3)};
}

QString joined(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.contains(a))
        return b;
    if (b.isEmpty() || a.contains(b))
        return a;
    return a + QLatin1Char(' ') + b;
}

// What the bill moved, signed: spent negative, received positive.
Money signedAmount(const Line &line)
{
    return line.kind == Kind::Income ? line.amount : -line.amount;
}

// "已退款(¥50.00)": a part refunded; "已全额退款": the whole.
std::optional<Money> refundedBy(const Bills::Row &purchase)
{
    if (purchase.status.startsWith(u"已全额退款"))
        return purchase.amount;
    static const QRegularExpression part(QStringLiteral("^已退款[(（]?[¥￥]?([\\d,.]+)"));
    if (const auto m = part.match(purchase.status); m.hasMatch())
        return Money::parse(m.captured(1));
    if (purchase.status.startsWith(u"已退款"))
        return purchase.amount;
    return std::nullopt;
}

// The balance of the app a move goes into or comes out of, as its bill names it.
QString storeOf(const Bills::Document &document, const QString &text)
{
    return text.contains(u"余额宝")                   ? QStringLiteral("余额宝")
           : text.contains(u"零钱通")                 ? QStringLiteral("零钱通")
           : document.source == Bills::Source::Alipay ? QStringLiteral("余额")
           : document.source == Bills::Source::WeChat ? QStringLiteral("零钱")
                                                      : QString();
}

QString rowText(const Bills::Row &row)
{
    return row.category + QLatin1Char(' ') + row.counterparty + QLatin1Char(' ') + row.goods;
}

bool takesOut(const QString &text)
{
    return text.contains(u"提现") || text.contains(u"转出");
}

} // namespace

QString transferKind(const Bills::Document &document, const Bills::Row &row)
{
    const QString text = rowText(row);
    if (document.source == Bills::Source::Bank) {
        if (text.contains(u"取现") || text.contains(u"取款") || text.contains(u"ATM"))
            return QStringLiteral("取现");
        if (text.contains(u"还款"))
            return row.method.contains(u"信用卡") ? QStringLiteral("信用卡收到还款")
                                                  : QStringLiteral("信用卡还款");
        return QStringLiteral("银行转帐");
    }
    if (text.contains(u"花呗") && text.contains(u"还"))
        return QStringLiteral("花呗还款");
    if (text.contains(u"信用卡") && text.contains(u"还款"))
        return QStringLiteral("信用卡还款");
    const QString store = storeOf(document, text);
    if (store == u"余额宝" || store == u"零钱通")
        return store + (takesOut(text) ? QStringLiteral("转出") : QStringLiteral("转入"));
    if (text.contains(u"提现"))
        return store + QStringLiteral("提现");
    if (text.contains(u"充值"))
        return store + QStringLiteral("充值");
    return row.category.isEmpty() ? Bills::sourceName(document.source) + QStringLiteral("不计收支")
                                  : row.category;
}

QString explanation(const Line &line)
{
    if (line.status == Status::New || line.status == Status::Transfer)
        return line.reason.isEmpty() ? line.why : line.reason;
    return line.why;
}

bool sameCard(const QString &appMethod, const QString &bankMethod)
{
    const Card a = cardOf(appMethod), b = cardOf(bankMethod);
    if (a.bank.isEmpty() || a.bank != b.bank)
        return false;
    if (!a.kind.isEmpty() && !b.kind.isEmpty() && a.kind != b.kind)
        return false;
    return a.digits.isEmpty() || b.digits.isEmpty() || a.digits == b.digits;
}

Plan::Plan(Settings settings) : m_settings(std::move(settings))
{
    QSqlQuery imported =
        Sql(QStringLiteral("select BillKey, EntryTable, EntryID, Method, BillDate, "
                           "Amount from ImportEntry where BName=? and BatchID in (select ID from "
                           "ImportBatch where Undone=0) order by ID"),
            {m_settings.book()})
            .exec();
    while (imported.next()) {
        const QString key = imported.value(0).toString();
        if (m_imported.contains(key))
            continue; // a transfer's fee: the transfer came first
        m_imported.insert(key, {imported.value(1).toString(), imported.value(2).toLongLong()});
        const bool fromApp = key.startsWith(Bills::sourceName(Bills::Source::Alipay) + ':') ||
                             key.startsWith(Bills::sourceName(Bills::Source::WeChat) + ':');
        m_importedPayments << Payment{imported.value(3).toString(), imported.value(4).toString(),
                                      Money::fromVariant(imported.value(5)), fromApp, -1};
    }
    QSqlQuery moves =
        Sql(QStringLiteral("select c.OldN, c.NewN, c.CDate, c.CMoney from ImportEntry e join "
                           "ChangeT c on c.ID=e.EntryID where e.EntryTable='ChangeT' and "
                           "e.BName=? and e.BatchID in (select ID from ImportBatch where "
                           "Undone=0)"),
            {m_settings.book()})
            .exec();
    while (moves.next()) {
        const std::int64_t units = Money::fromVariant(moves.value(3)).units();
        m_importedMoves.append(
            {moves.value(0).toString().toLower(), moves.value(2).toString(), -units});
        m_importedMoves.append(
            {moves.value(1).toString().toLower(), moves.value(2).toString(), units});
    }
}

void Plan::add(const QList<Bills::Document> &documents)
{
    const int fresh = int(m_lines.size());
    const QString book = Sharing::bookIdentity(m_settings.book());
    for (const Bills::Document &document : documents) {
        m_documents << document;
        for (int r = 0; r < document.rows.size(); ++r) {
            Line line;
            line.document = int(m_documents.size() - 1);
            line.row = r;
            m_lines << line;
            const Bills::Row &row = document.rows.at(r);
            if (!m_imported.contains(row.key) && holdsEntryOf(book, row))
                m_entered.insert(row.key);
        }
    }
    decide(fresh);
}

void Plan::clear()
{
    m_documents.clear();
    m_lines.clear();
}

const Bills::Row &Plan::rowOf(const Line &line) const
{
    return m_documents.at(line.document).rows.at(line.row);
}

const Bills::Document &Plan::documentOf(const Line &line) const
{
    return m_documents.at(line.document);
}

void Plan::setMember(const QString &member)
{
    m_member = member;
    remap();
}

void Plan::decide(int fresh)
{
    QHash<QString, int> byKey;
    QList<Status> before;
    for (const Line &line : std::as_const(m_lines))
        before << line.status;
    for (int i = 0; i < m_lines.size(); ++i) {
        Line &line = m_lines[i];
        const Bills::Row &row = rowOf(line);
        line.date = isoDate(row.date);
        line.kind = row.direction == Bills::Direction::Income    ? Kind::Income
                    : row.direction == Bills::Direction::Neutral ? Kind::Transfer
                                                                 : Kind::Expense;
        line.amount = row.amount;
        line.fee = line.kind == Kind::Transfer ? row.fee : Money();
        if (row.refund) { // spending given back, whatever its status
            line.kind = Kind::Expense;
            line.amount = -row.amount;
        }
        line.purchase = -1;
        line.purchaseCategory.clear();
        line.why.clear();
        if (m_imported.contains(row.key) || m_entered.contains(row.key)) {
            line.status = Status::Duplicate;
            line.why = QStringLiteral("以前已导入");
        } else if (const auto first = byKey.constFind(row.key); first != byKey.constEnd()) {
            const Line &earlier = m_lines.at(*first);
            line.status = Status::Duplicate;
            line.why = QStringLiteral("与“%1”第 %2 行相同")
                           .arg(documentOf(earlier).name)
                           .arg(rowOf(earlier).line);
        } else if (row.closed) {
            byKey.insert(row.key, i);
            line.status = Status::Skipped;
            line.why = QStringLiteral("交易关闭，没有付款");
        } else if (row.refund) {
            byKey.insert(row.key, i);
            line.status = Status::Refund; // its purchase is looked for once all are known
        } else if (line.kind == Kind::Transfer) {
            byKey.insert(row.key, i);
            line.status = Status::Skipped; // a transfer once its kind has its account
        } else {
            byKey.insert(row.key, i);
            line.status = Status::New;
        }
    }
    // 微信's purchases that were refunded: few, and looked through for each refund.
    QList<int> refunded;
    for (int i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        const Bills::Row &row = rowOf(line);
        if (documentOf(line).source == Bills::Source::WeChat && !row.refund &&
            row.direction == Bills::Direction::Expense && refundedBy(row))
            refunded << i;
    }
    for (Line &line : m_lines)
        if (line.status == Status::Refund)
            decideRefund(line, byKey, refunded);
    matchCardPayments();
    mapAll();
    for (Line &line : m_lines)
        if (line.status == Status::Skipped && line.kind == Kind::Transfer && line.why.isEmpty())
            decideTransfer(line);
    matchTransfers();
    for (int i = 0; i < m_lines.size(); ++i) {
        Line &line = m_lines[i];
        if (i >= fresh || line.status != before.value(i, Status::New))
            line.chosen = line.status == Status::New || line.status == Status::Refund ||
                          line.status == Status::Transfer;
        line.chosen = line.chosen && choosable(line);
    }
}

// A move between one's own accounts is taken as a transfer by itself once the book
// knows the account on the other side of its kind; until then it waits, skipped.
void Plan::decideTransfer(Line &line) const
{
    if (!m_settings.transferAccount(line.transferKind).isEmpty() && !line.account.isEmpty() &&
        !line.toAccount.isEmpty()) {
        line.status = Status::Transfer;
        return;
    }
    line.why = QStringLiteral("不计收支：为“%1”选择对方帐户后，以后自动作为转帐导入")
                   .arg(line.transferKind);
}

// A move seen in two bills (零钱提现 to a card and the card's statement, a card repaid
// from another card's statement): the bank's row that repeats a move already among
// the lines waits for confirmation. Matched by account, day and amount as each
// account saw it.
void Plan::matchTransfers()
{
    using Leg = std::tuple<QString, QString, std::int64_t>; // account, day, signed units
    std::map<Leg, QList<int>> pool;
    const auto legsOf = [](const Line &line) {
        return QList<Leg>{{line.account.toLower(), line.date, (-line.amount).units()},
                          {line.toAccount.toLower(), line.date, line.amount.units()}};
    };
    const auto moves = [this](const Line &line) {
        return line.kind == Kind::Transfer &&
               (line.status == Status::Transfer || (line.status == Status::Skipped && line.chosen));
    };
    for (int i = 0; i < m_lines.size(); ++i)
        if (isApp(documentOf(m_lines.at(i))) && moves(m_lines.at(i)))
            for (const Leg &leg : legsOf(m_lines.at(i)))
                pool[leg] << i;
    // Those an earlier import wrote (-1: no line of this plan).
    for (const Leg &leg : m_importedMoves)
        pool[leg] << -1;
    for (int i = 0; i < m_lines.size(); ++i) {
        Line &line = m_lines[i];
        if (isApp(documentOf(line)) ||
            (line.status != Status::New && line.status != Status::Transfer))
            continue;
        const QString own = m_settings.account(rowOf(line).method).toLower();
        const bool ownIsSource = line.kind != Kind::Transfer || line.account.toLower() == own;
        const Money moved = line.kind == Kind::Income                   ? line.amount
                            : line.kind == Kind::Expense || ownIsSource ? -line.amount
                                                                        : line.amount;
        const auto found = pool.find(Leg{own, line.date, moved.units()});
        if (!own.isEmpty() && found != pool.end() && !found->second.isEmpty()) {
            const int first = found->second.takeFirst();
            line.status = Status::ToConfirm;
            line.why = first < 0 ? QStringLiteral("与以前导入的转帐是同一笔")
                                 : QStringLiteral("与“%1”第 %2 行是同一笔转帐")
                                       .arg(documentOf(m_lines.at(first)).name)
                                       .arg(rowOf(m_lines.at(first)).line);
            continue;
        }
        if (line.status == Status::Transfer)
            for (const Leg &leg : legsOf(line))
                if (std::get<0>(leg) != own)
                    pool[leg] << i;
    }
}

void Plan::decideRefund(Line &line, const QHash<QString, int> &byKey, const QList<int> &refunded)
{
    const Bills::Row &row = rowOf(line);
    line.kind = Kind::Expense;
    line.amount = -row.amount;
    int purchase = -1;
    if (!row.refundOf.isEmpty())
        purchase = byKey.value(row.refundOf, -1);
    else if (documentOf(line).source == Bills::Source::WeChat)
        purchase = wechatPurchase(line, refunded);
    const QString purchaseKey = purchase >= 0 ? rowOf(m_lines.at(purchase)).key : row.refundOf;
    if (purchase >= 0 && rowOf(m_lines.at(purchase)).closed) {
        line.status = Status::Skipped;
        line.why = QStringLiteral("原交易已关闭，退款不计");
        return;
    }
    if (const auto imported = m_imported.constFind(purchaseKey);
        !purchaseKey.isEmpty() && imported != m_imported.constEnd()) {
        QSqlQuery entry =
            Sql(QStringLiteral("select OName, AName, Remark from OutTable where ID=? and BName=?"),
                {imported->id, m_settings.book()})
                .exec();
        if (imported->table == QLatin1String("OutTable") && entry.next()) {
            line.purchaseCategory = entry.value(0).toString();
            line.purchaseAccount = entry.value(1).toString();
            line.purchaseRemark = entry.value(2).toString();
            line.why = QStringLiteral("退还以前导入的“%1”").arg(line.purchaseRemark);
            return;
        }
    }
    if (purchase >= 0) {
        line.purchase = purchase;
        line.why = QStringLiteral("退还“%1”第 %2 行")
                       .arg(documentOf(m_lines.at(purchase)).name)
                       .arg(rowOf(m_lines.at(purchase)).line);
        return;
    }
    line.why = QStringLiteral("没有找到原交易");
}

// 微信 does not name a refund's purchase: the purchase marked refunded (among
// `refunded`) with the same merchant order number, else with the same counterparty
// and the amount refunded, on or before the refund's day.
int Plan::wechatPurchase(const Line &refund, const QList<int> &refunded) const
{
    const Bills::Row &row = rowOf(refund);
    int byCounterparty = -1;
    for (const int i : refunded) {
        const Bills::Row &candidate = rowOf(m_lines.at(i));
        if (candidate.date > row.date)
            continue;
        const std::optional<Money> refundedAmount = refundedBy(candidate);
        if (!row.merchantKey.isEmpty() && candidate.merchantKey == row.merchantKey)
            return i;
        if (byCounterparty < 0 && candidate.counterparty == row.counterparty &&
            *refundedAmount >= row.amount)
            byCounterparty = i;
    }
    return byCounterparty;
}

// A payment by card shows in the app's bill and again in the bank's: the later of
// the two to come is proposed as the same payment, not imported by default.
void Plan::matchCardPayments()
{
    QList<Payment> payments;
    for (int i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Transfer ||
            (line.status != Status::New && line.status != Status::Refund &&
             line.status != Status::Duplicate))
            continue;
        payments << Payment{rowOf(line).method, line.date, signedAmount(line),
                            isApp(documentOf(line)), i};
    }
    // Each pool's payments by side, day and amount, so that a bill of 10^5 rows is
    // matched in one pass.
    using Slot = std::tuple<bool, QString, std::int64_t>;
    const auto slot = [](bool fromApp, const Payment &p) {
        return Slot{fromApp, p.date, p.amount.units()};
    };
    std::map<Slot, QList<int>> inLines, imported;
    for (int j = 0; j < payments.size(); ++j)
        inLines[slot(payments.at(j).fromApp, payments.at(j))] << j;
    for (int j = 0; j < m_importedPayments.size(); ++j)
        imported[slot(m_importedPayments.at(j).fromApp, m_importedPayments.at(j))] << j;
    QSet<int> used; // of `payments`, then of m_importedPayments (offset)
    const auto find = [&](const Payment &p, bool fromApp, bool lines) -> int {
        const QList<Payment> &pool = lines ? payments : m_importedPayments;
        const int offset = lines ? 0 : int(payments.size());
        const auto &index = lines ? inLines : imported;
        const auto candidates = index.find(slot(fromApp, p));
        if (candidates == index.end())
            return -1;
        for (const int j : candidates->second) {
            const Payment &q = pool.at(j);
            if (used.contains(offset + j))
                continue;
            if (fromApp ? sameCard(q.method, p.method) : sameCard(p.method, q.method)) {
                used.insert(offset + j);
                return j;
            }
        }
        return -1;
    };
    for (int k = 0; k < payments.size(); ++k) {
        const Payment &p = payments.at(k);
        Line &line = m_lines[p.line];
        if (line.status == Status::Duplicate || used.contains(k))
            continue;
        if (!p.fromApp) {
            if (const int j = find(p, true, true); j >= 0) {
                used.insert(k);
                const Line &app = m_lines.at(payments.at(j).line);
                line.status = Status::ToConfirm;
                line.why = QStringLiteral("与“%1”第 %2 行是同一笔付款")
                               .arg(documentOf(app).name)
                               .arg(rowOf(app).line);
                continue;
            }
        }
        if (find(p, !p.fromApp, false) >= 0) {
            used.insert(k);
            line.status = Status::ToConfirm;
            line.why = p.fromApp ? QStringLiteral("与以前导入的银行记录是同一笔付款")
                                 : QStringLiteral("与以前导入的支付宝或微信记录是同一笔付款");
        }
    }
}

bool Plan::choosable(const Line &line)
{
    if (line.status == Status::Duplicate)
        return false;
    return line.status != Status::Skipped || line.kind == Kind::Transfer;
}

void Plan::remap()
{
    decide(int(m_lines.size()));
}

void Plan::mapAll()
{
    // Refunds take their purchase's choices, so purchases come first.
    for (Line &line : m_lines)
        if (line.purchase < 0)
            map(line);
    for (Line &line : m_lines)
        if (line.purchase >= 0)
            map(line);
}

QStringList Plan::transferKinds() const
{
    QStringList kinds;
    for (const Line &line : m_lines)
        if (line.kind == Kind::Transfer && !line.transferKind.isEmpty() &&
            !kinds.contains(line.transferKind))
            kinds << line.transferKind;
    return kinds;
}

void Plan::map(Line &line) const
{
    const Bills::Row &row = rowOf(line);
    const Rule *rule = m_settings.ruleFor(row.counterparty, row.goods);
    const Line *purchase = line.purchase >= 0 ? &m_lines.at(line.purchase) : nullptr;
    const bool refundOfKnown = purchase || !line.purchaseCategory.isEmpty();
    if (!line.ownRemark) {
        const QString own = joined(row.counterparty, row.goods);
        line.remark = !refundOfKnown ? own
                                     : QStringLiteral("退款：") +
                                           (purchase ? purchase->remark : line.purchaseRemark);
    }
    if (!line.ownMember)
        line.member = rule && m_settings.hasMember(rule->member) ? rule->member : m_member;
    if (line.kind == Kind::Transfer) {
        line.category.clear();
        line.categoryFallback = false;
        mapTransfer(line);
        return;
    }
    const bool ruledAccount = rule && m_settings.hasAccount(rule->account);
    if (!line.ownAccount)
        line.account = purchase                          ? purchase->account
                       : !line.purchaseAccount.isEmpty() ? line.purchaseAccount
                       : ruledAccount                    ? rule->account
                                                         : m_settings.account(row.method);
    mapCategory(line, purchase, rule);
    if (ruledAccount && !line.ownAccount && !refundOfKnown)
        line.reason += QStringLiteral("；规则：%1 → 帐户 %2").arg(rule->pattern, rule->account);
    else if (line.ownAccount)
        line.reason += QStringLiteral("；帐户为手动选择");
}

// The category of an expense or an income, and why: chosen by hand, its purchase's
// (a refund), the user's rule, the user's choice for the bill's category, the
// merchant table, the program's choice for the bill's category, else 其他支出 /
// 其他收入.
void Plan::mapCategory(Line &line, const Line *purchase, const Rule *rule) const
{
    const Bills::Row &row = rowOf(line);
    if (line.ownCategory) {
        line.reason = QStringLiteral("手动选择：%1").arg(line.category);
        return;
    }
    const bool expense = line.kind == Kind::Expense;
    QString category = purchase ? purchase->category : line.purchaseCategory;
    line.reason = QStringLiteral("同原交易：%1").arg(category);
    if (category.isEmpty() && rule) {
        const QString ruled = expense ? rule->expenseCategory : rule->incomeCategory;
        if (m_settings.hasCategory(ruled, expense)) {
            category = ruled;
            line.reason = QStringLiteral("规则：%1 → %2").arg(rule->pattern, ruled);
        }
    }
    // The user's own choice for the bill's category comes before the merchant table.
    if (category.isEmpty() && m_settings.hasOwnCategory(row.category, expense)) {
        category = m_settings.category(row.category, expense);
        line.reason = QStringLiteral("帐单类别：%1 → %2").arg(row.category, category);
    }
    if (category.isEmpty()) {
        const MerchantCategory merchant =
            m_settings.merchantCategory({row.counterparty, row.goods, row.category}, expense);
        category = merchant.category;
        line.reason = QStringLiteral("商户表：%1 → %2").arg(merchant.keyword, category);
    }
    if (category.isEmpty()) {
        category = m_settings.category(row.category, expense);
        line.reason = QStringLiteral("帐单类别：%1 → %2").arg(row.category, category);
    }
    line.categoryFallback = category.isEmpty() || (purchase && purchase->categoryFallback);
    if (category.isEmpty())
        line.reason = QStringLiteral("帐单类别“%1”没有对应的类别，暂记为%2")
                          .arg(row.category, Settings::fallbackCategory(expense));
    line.category = category.isEmpty() ? Settings::fallbackCategory(expense) : category;
}

// A move between one's own accounts: the payment method's account on one side and
// on the other the card the row names (when the book maps it), else the account
// the book chose for the move's kind, else the app's balance the move goes into or
// comes out of. The payment method pays, but for a move out of a balance that the
// method does not name (余额宝转出 to 余额) and for a credit card's statement, where
// a repayment comes in.
void Plan::mapTransfer(Line &line) const
{
    const Bills::Row &row = rowOf(line);
    const Bills::Document &document = documentOf(line);
    const QString text = rowText(row);
    line.transferKind = transferKind(document, row);
    const QString store = storeOf(document, text);
    // The card the row names on the other side, as the book maps it (not the card
    // that pays, as a top-up names it).
    QString named;
    // A card, not a bank's name alone ("招商银行" on an ATM withdrawal).
    if (const Card card = cardOf(row.counterparty);
        !card.bank.isEmpty() && (!card.kind.isEmpty() || !card.digits.isEmpty()))
        for (const QString &method : m_settings.methods())
            if (sameCard(method, row.counterparty) && !m_settings.account(method).isEmpty() &&
                m_settings.account(method) != m_settings.account(row.method)) {
                named = m_settings.account(method);
                break;
            }
    const QString chosen = m_settings.transferAccount(line.transferKind);
    QString other = !named.isEmpty()                          ? named
                    : !chosen.isEmpty()                       ? chosen
                    : !store.isEmpty() && store != row.method ? m_settings.account(store)
                                                              : QString();
    const bool methodPays =
        document.source == Bills::Source::Bank
            ? !row.method.contains(u"信用卡")
            : !(takesOut(text) && !store.isEmpty() && !row.method.contains(store));
    QString from = m_settings.account(row.method), to = other;
    if (!methodPays)
        std::swap(from, to);
    if (!line.ownAccount)
        line.account = from;
    if (!line.ownToAccount)
        line.toAccount = to;
    line.reason = line.ownAccount || line.ownToAccount ? QStringLiteral("转帐：帐户为手动选择")
                  : !named.isEmpty() ? QStringLiteral("转帐：%1 是 %2").arg(row.counterparty, named)
                  : !chosen.isEmpty()
                      ? QStringLiteral("转帐：%1 → %2").arg(line.transferKind, chosen)
                      : QString();
}

std::array<Tally, StatusCount> Plan::tally(bool chosenOnly) const
{
    std::array<Tally, StatusCount> tally{};
    for (const Line &line : m_lines) {
        if (chosenOnly && !line.chosen)
            continue;
        tally[int(line.status)].add(line);
    }
    return tally;
}

void Tally::add(const Line &line)
{
    ++count;
    (line.kind == Kind::Expense  ? expense
     : line.kind == Kind::Income ? income
                                 : transfer) += line.amount;
    fee += line.fee;
}

Tally &Tally::operator+=(const Tally &other)
{
    count += other.count;
    expense += other.expense;
    income += other.income;
    transfer += other.transfer;
    fee += other.fee;
    return *this;
}

QString tallyText(const QString &what, const Tally &tally)
{
    QStringList sums;
    for (const auto &[kind, sum] :
         {std::pair{Kind::Expense, tally.expense}, std::pair{Kind::Income, tally.income},
          std::pair{Kind::Transfer, tally.transfer}})
        if (!sum.isZero())
            sums << kindName(kind) + QLatin1Char(' ') + sum.toGrouped();
    if (!tally.fee.isZero())
        sums << QStringLiteral("服务费 ") + tally.fee.toGrouped();
    const QString counted = QStringLiteral("%1 %2 条").arg(what).arg(tally.count);
    return sums.isEmpty() ? counted
                          : counted + QStringLiteral("（%1）").arg(sums.join(QStringLiteral("，")));
}

QString countsText(const std::array<Tally, StatusCount> &tally, const QString &separator)
{
    QStringList parts;
    for (int s = 0; s < StatusCount; ++s)
        parts << tallyText(statusName(Status(s)), tally[s]);
    return parts.join(separator);
}

int Plan::chosenCount() const
{
    return int(std::count_if(m_lines.begin(), m_lines.end(),
                             [](const Line &line) { return line.chosen; }));
}

QStringList Plan::methods() const
{
    QStringList methods;
    QSet<QString> seen;
    for (const Line &line : m_lines) {
        const QString &method = rowOf(line).method;
        if (!seen.contains(method)) {
            seen.insert(method);
            methods << method;
        }
    }
    return methods;
}

QStringList Plan::appCategories() const
{
    QStringList categories;
    QSet<QString> seen;
    for (const Line &line : m_lines) {
        const QString &category = rowOf(line).category;
        // A refund takes its purchase's category, whatever the bill calls it.
        if (line.kind != Kind::Transfer && !rowOf(line).refund && !category.isEmpty() &&
            !seen.contains(category)) {
            seen.insert(category);
            categories << category;
        }
    }
    return categories;
}

QStringList Plan::unmappedMethods() const
{
    QStringList unmapped;
    for (const Line &line : m_lines)
        if (line.chosen && line.kind != Kind::Transfer && line.account.isEmpty() &&
            !unmapped.contains(rowOf(line).method))
            unmapped << rowOf(line).method;
    return unmapped;
}

QString Plan::refusal() const
{
    for (const Line &line : m_lines) {
        if (!line.chosen)
            continue;
        const QString where =
            QStringLiteral("“%1”第 %2 行").arg(documentOf(line).name).arg(rowOf(line).line);
        if (line.kind == Kind::Transfer) {
            if (line.account.isEmpty() || line.toAccount.isEmpty())
                return QStringLiteral("%1是转帐：请选择它的帐户和转入帐户。").arg(where);
            if (line.account.compare(line.toAccount, Qt::CaseInsensitive) == 0)
                return QStringLiteral("%1是转帐：帐户和转入帐户不能相同。").arg(where);
            continue;
        }
        if (line.category.isEmpty())
            return QStringLiteral("%1没有类别：请选择一个类别。").arg(where);
    }
    if (const QStringList unmapped = unmappedMethods(); !unmapped.isEmpty())
        return QStringLiteral(
                   "这些收/付款方式还没有对应的帐户：%1。\n请在“收/付款方式”表中为每一个选择"
                   "本帐簿的帐户（只需选择一次，以后会记住）。")
            .arg(unmapped.join(QStringLiteral("、")));
    return {};
}

} // namespace Import

#pragma once

#include "data/Money.h"

#include <QString>
#include <QStringList>

// What kind of money an account holds. A liability (a credit card, 花呗) holds
// what the household owes: its balance is below zero while it owes, is shown as
// 欠款, and counts under 负债, never among the household's savings.
namespace AccountKinds {

inline const QString Cash = QStringLiteral("现金");
inline const QString Savings = QStringLiteral("储蓄");
inline const QString Liability = QStringLiteral("信用卡/花呗");
inline const QString Online = QStringLiteral("网络支付");
inline const QString Investment = QStringLiteral("理财/投资");
inline const QString Other = QStringLiteral("其他");

// In the order they are offered.
QStringList all();
bool isLiability(const QString &kind);
// The kind an account of that name starts with where nothing else says: 现金
// for the cash account, 储蓄 for any other.
QString byName(const QString &account);

// What the book's accounts hold, by kind: cash (现金), the other money it has
// (储蓄, 网络支付, 理财/投资, 其他), and what the liabilities owe (a positive
// amount while they owe). Throws DbError.
struct Holdings
{
    Money cash;
    Money deposits;
    Money owed;
};
Holdings holdings(const QString &book);

} // namespace AccountKinds

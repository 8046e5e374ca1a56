#pragma once

#include "core/bills/ImportPlan.h"

#include <QString>
#include <QVariant>
#include <functional>

// Writing a plan's chosen lines into its book, and taking an import back. The
// window and the command import through here only.
namespace Import {

// What an import did with the plan's lines: each line of the bills is written or
// left, so that the counts add up to the bills' rows.
struct Result
{
    qint64 batch = 0;
    int entries = 0; // rows written (a withdrawal's fee is one more)
    // The lines written by status, but a neutral row taken as a transfer among
    // the transfers, its fee with it; the lines left, by status.
    std::array<Tally, StatusCount> written{};
    Tally transfers;
    std::array<int, StatusCount> left{};
};

// Hears how many of a whole are done; what it throws stops the work, and nothing
// is written.
using Progress = std::function<void(int done, int total)>;

// Writes every chosen line through the ledger in one transaction, as one batch
// that remembers each entry with its bill key; the fallback categories are made
// when the book lacks them. Throws DbError (the plan's refusal, or the ledger's)
// and then writes nothing.
Result write(const Plan &plan, const Progress &progress = {});

// Takes back a whole batch of the book: its entries deleted through the ledger,
// in one transaction. Refused (DbError, nothing changed) when one of them was
// changed or deleted since it was imported.
void undo(const QString &book, qint64 batch, const Progress &progress = {});

// What `write` says it did: "导入了 N 条记录：新 …，转帐 …，退款 …。", and on a line of
// its own "没有导入 M 条：重复 …，跳过 …。" when lines were left.
QString resultText(const Result &result);

} // namespace Import

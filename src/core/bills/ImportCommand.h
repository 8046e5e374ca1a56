#pragma once

#include <QStringList>

class QTextStream;

// qinghebu-import: bills imported from a script, through the same readers, plan and
// import as the window.
//
//   qinghebu-import --data-dir DIR --book NAME --password PW [--zip-password PW]
//       [--account 'PAYMENT=ACCOUNT']... [--member NAME] [--dry-run] FILE...
//
// Prints one line per file (新增 N 条, 重复 N 条, 跳过 N 条, 退款 N 条). Exit status 0
// when imported (or, with --dry-run, when it would be), 2 when payment methods have
// no account (they are named), 1 for anything else; nothing is written unless 0.
namespace ImportCommand {

// `arguments` as the program got them (the program's name first). The data module
// must be open on the data folder.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace ImportCommand

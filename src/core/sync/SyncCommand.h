#pragma once

#include <QStringList>

class QTextStream;

// qinghebu-sync, once its data folder is locked and open: sets this data folder up
// for the household's sync (--folder, --password, --computer with --share or
// --join), or exchanges once and says what it did in one line. 0 on success; 1
// with a message naming the folder or file on any failure, nothing half-written.
namespace SyncCommand {

int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace SyncCommand

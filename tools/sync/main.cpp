// Keeps a household's shared books the same on its computers through a sync folder:
//
//   qinghebu-sync --data-dir DIR --folder DIR --password PW --computer NAME
//       (--share BOOK... | --join [--name 'BOOK=NEW NAME']...)
//   qinghebu-sync --data-dir DIR [--once]
#include "app/Startup.h"
#include "core/sync/SyncCommand.h"

int main(int argc, char *argv[])
{
    return Startup::runCommand(argc, argv, QStringLiteral("再同步"), &SyncCommand::run);
}

// Imports bill files of 支付宝, 微信支付 and the banks into a book:
//
//   qinghebu-import --data-dir DIR --book NAME --password PW [--zip-password PW]
//       [--account 'PAYMENT=ACCOUNT']... [--member NAME] [--dry-run] FILE...
#include "app/Startup.h"
#include "core/bills/ImportCommand.h"

int main(int argc, char *argv[])
{
    return Startup::runCommand(argc, argv, QStringLiteral("再导入帐单"), &ImportCommand::run);
}

#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>

// Brings a data file written by an earlier version of the program to this
// version's layout when it is opened: the tables it lacks, filled from what it
// holds, in one transaction (a failure leaves the file as it was).
namespace Upgrade {

// Hears what is being done and how far it is (0..100).
using Progress = std::function<void(const QString &what, int percent)>;

bool isNeeded(const QSqlDatabase &db);
// Throws DbError.
void run(const QSqlDatabase &db, const Progress &progress = {});

} // namespace Upgrade

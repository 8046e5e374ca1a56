#pragma once

#include <QSqlDatabase>
#include <QString>
#include <vector>

namespace Schema {

enum class Kind
{
    Key,
    Text,
    Date,
    Money,
    Count
};

struct Column
{
    const char *name;
    Kind kind;
    bool defaultZero = false; // amounts changed in place start at 0
};

struct Table
{
    const char *name;
    std::vector<Column> columns;
    const char *bookDateColumn = nullptr; // indexed with BName for lists and statements
    const char *parentKey = nullptr;      // child rows keyed by their parent's ID
};

// Marks our database files (PRAGMA application_id) and their layout version.
constexpr int ApplicationId = 0x51484231; // "QHB1"
constexpr int UserVersion = 1;

const std::vector<Table> &tables();
const Table *table(const QString &name);

// Creates every table and index, and marks the file, in one transaction.
// Throws DbError when the database refuses any of it (nothing is then kept).
void create(QSqlDatabase db);

// The reason a database is not one of ours, or an empty text when it is.
QString checkOwnDatabase(QSqlDatabase db, bool checkIntegrity);

} // namespace Schema

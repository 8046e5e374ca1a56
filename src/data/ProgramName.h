#pragma once

#include <QString>

// The program's name, as its windows, messages and printed reports say it.
inline QString programName()
{
    return QStringLiteral("青禾簿");
}

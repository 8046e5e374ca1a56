#pragma once

#include <QString>
#include <QUrl>

// Where users reach the people behind the program: the project's page and its mail
// address. The help menu and the about box take them from here only.
namespace ProjectLinks {

inline QString pageAddress()
{
    return QStringLiteral("https://www.qinghebu.cn/");
}

inline QString mailAddress()
{
    return QStringLiteral("support@qinghebu.cn");
}

inline QUrl page()
{
    return QUrl(pageAddress());
}

// A new mail to the project, its subject naming the program.
inline QUrl mail()
{
    return QUrl(
        QStringLiteral("mailto:%1?subject=%2").arg(mailAddress(), QStringLiteral("青禾簿")));
}

} // namespace ProjectLinks

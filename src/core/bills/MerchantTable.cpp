#include "core/bills/MerchantTable.h"

#include <QFile>

namespace Import {

const MerchantTable &MerchantTable::builtIn()
{
    static const MerchantTable table = [] {
        QFile file(QStringLiteral(":/bills/merchants.txt"));
        return file.open(QIODevice::ReadOnly) ? parse(QString::fromUtf8(file.readAll()))
                                              : MerchantTable();
    }();
    return table;
}

MerchantTable MerchantTable::parse(const QString &text)
{
    MerchantTable table;
    const auto names = [](const QString &cell) {
        QStringList list = cell.split(QLatin1Char('|'), Qt::SkipEmptyParts);
        for (QString &name : list)
            name = name.trimmed();
        list.removeAll(QString());
        return list;
    };
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cells = line.split(QLatin1Char('\t'));
        Merchant merchant{cells.at(0).trimmed(), names(cells.value(1)), names(cells.value(2))};
        if (!merchant.keyword.isEmpty())
            table.m_entries << merchant;
    }
    return table;
}

const Merchant *MerchantTable::match(const QStringList &texts, bool expense) const
{
    const Merchant *best = nullptr;
    for (const QString &text : texts)
        for (const Merchant &merchant : m_entries)
            if (!(expense ? merchant.expense : merchant.income).isEmpty() &&
                (!best || merchant.keyword.size() > best->keyword.size()) &&
                text.contains(merchant.keyword, Qt::CaseInsensitive))
                best = &merchant;
    return best;
}

} // namespace Import

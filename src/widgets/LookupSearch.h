#pragma once

#include "core/ledger/Workspace.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QComboBox;

// Makes a drop-down list of names fit for daily use: typing finds a name by its
// beginning, its pinyin initials (the item's Qt::UserRole data, so "gz" finds
// 工资) or any part of it, with the list closed or open; what finds nothing
// leaves no choice; Enter, Tab, Esc or leaving the list end the search; at most
// about 20 rows show at a time; a long name never widens the list beyond its place.
void makeSearchable(QComboBox *box);

// Fills the list with the names a lookup feeder of the data module gives, each
// with its initials as the item's data, and no choice made. Throws DbError.
void fillLookup(QComboBox *box, Workspace::Feeder feeder);

// The item the typed text finds: the first whose name or initials begin with it,
// else the first whose name contains it; -1 when none does.
int findByNameOrInitials(const QComboBox *box, const QString &typed);

class LookupSearch : public QObject
{
    Q_OBJECT
public:
    explicit LookupSearch(QComboBox *box);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Adds to what was typed (a pause starts afresh) and goes to what it finds.
    void type(const QString &text, bool inOpenList);
    void search(bool inOpenList);

    QComboBox *m_box;
    QString m_typed;
    QElapsedTimer m_sinceLastKey;
};

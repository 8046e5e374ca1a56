#pragma once

#include "data/Sql.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QThread;

// Reads the keys of a list statement in the statement's order on a thread with a
// connection of its own, so that sorting a long list never holds up the screen.
// The statement selects one column, the keys (whole numbers).
class KeySorter : public QObject
{
    Q_OBJECT
public:
    // Starts reading the statement from the data file at `path`.
    KeySorter(const QString &path, const Sql &statement, QObject *parent = nullptr);
    // Stops the reading and waits for its thread.
    ~KeySorter() override;

    bool isDone() const { return m_done; }
    // When done: the keys in order, or (when not empty) why they could not be read.
    const std::vector<qint64> &keys() const;
    QString failure() const;

signals:
    void done();

private:
    struct Job;
    std::shared_ptr<Job> m_job;
    QThread *m_thread = nullptr;
    bool m_done = false;
};

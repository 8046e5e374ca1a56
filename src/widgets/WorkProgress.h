#pragma once

#include "data/Background.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

class QWidget;

// Whole-file work the user waits for (a backup, a restore, an export) runs on a
// worker thread while the program stays modal and keeps painting: input is held
// back for a moment, then a progress dialog shows what the work says it is doing,
// with 取消 when it may be cancelled. No window can be closed meanwhile.
namespace WorkProgress {

enum class Cancel
{
    No,
    Allowed
};

struct Outcome
{
    bool cancelled = false;
    QString failure; // the message of the work's DbError; empty when it succeeded
};

// Waits as described until `job` has ended.
Outcome wait(QWidget *parent, Background::Job *job, const QString &label, Cancel cancel);

// Throws DbError with the failure, or Background::Cancelled.
void raise(const Outcome &outcome);

// The progress hook of counted work (an import, an undo): says on `work` how far it
// is under `step`, and stops it when the user cancelled.
std::function<void(int done, int total)> counting(Background::Context &work, const QString &step);

// Runs `work` (Result work(Background::Context &)) and returns its result; throws
// DbError with its failure, or Background::Cancelled when the user cancelled it.
template <typename Work>
auto run(QWidget *parent, const QString &label, Work work, Cancel cancel = Cancel::No)
{
    using Result = std::invoke_result_t<Work &, Background::Context &>;
    if constexpr (std::is_void_v<Result>) {
        raise(wait(parent, Background::Job::start(std::move(work)), label, cancel));
    } else {
        auto result = std::make_shared<std::optional<Result>>();
        raise(wait(parent,
                   Background::Job::start([work = std::move(work), result](Background::Context &c) {
                       result->emplace(work(c));
                   }),
                   label, cancel));
        return std::move(**result);
    }
}

} // namespace WorkProgress

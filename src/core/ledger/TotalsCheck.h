#pragma once

namespace Background {
class Context;
}

// The check of the kept monthly totals after a start: they are compared with the
// rows and, where they differ (a file changed by something other than this
// program, a fault), computed anew.
namespace TotalsCheck {

// Compares the totals with the rows on the connection of `work` and, when they
// differ, rebuilds them in one transaction. True when they were rebuilt. Throws
// DbError; a failed rebuild leaves the totals as they were.
bool repair(Background::Context &work);

} // namespace TotalsCheck

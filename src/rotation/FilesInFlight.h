#pragma once

#include <QString>

namespace quindra {

// A name under which a program writes a file that is not finished yet, or
// keeps a file of its own beside one: a hidden file, a sync tool's or a
// browser's temporary name, an office suite's lock. Such a file is never
// taken and never moved aside: moving it would break the transfer, and the
// tool would start it again.
bool IsFileInFlight(const QString& name);

// A hidden name that reads as a message and belongs to no known program:
// most likely hidden by mistake, and worth telling the operator.
bool LooksHiddenByMistake(const QString& name);

}  // namespace quindra

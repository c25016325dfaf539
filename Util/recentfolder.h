#pragma once

#include <QString>

namespace Util {

// The folder every file dialog opens in: the one a file was last chosen in during this run
// (by any dialog, in any window), the working folder before that. A file dialog that always
// opened at home would make a user who works in a project folder walk there every time.
class RecentFolder {
public:
    static QString get();
    // Remembers the folder of `file` (or `file` itself when it is a folder); empty names and
    // names of folders that do not exist are ignored.
    static void remember(const QString& file);
};

} // namespace Util

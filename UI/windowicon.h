#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace Ui {

// The application's window icon: `file` at 32 x 32, or a plain red square when the file is
// missing or unreadable, so the window is recognisable either way.
QPixmap loadWindowIcon(const QString& file);

// The icon the program's windows carry: `file` when it can be read; otherwise the installed
// icon "cellvane" of the desktop's icon theme; the red square of loadWindowIcon only when
// neither is there (a build that was never installed).
QIcon applicationIcon(const QString& file);

} // namespace Ui

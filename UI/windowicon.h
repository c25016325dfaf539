#pragma once

#include <QPixmap>
#include <QString>

namespace Ui {

// The application's window icon: `file` at 32 x 32, or a plain red square when the file is
// missing or unreadable, so the window is recognisable either way.
QPixmap loadWindowIcon(const QString& file);

} // namespace Ui

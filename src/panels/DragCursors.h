#pragma once
#include <QPixmap>

namespace km {

// The three drag pictures: not allowed, one entry, several entries.
QPixmap DragCursorNotAllowed();
QPixmap DragCursorSingle();
QPixmap DragCursorMultiple();

} // namespace km

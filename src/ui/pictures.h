#pragma once

#include <QIcon>
#include <QPixmap>

namespace tavlo {

// The picture of named symbol k (0 to 14).
QPixmap symbolPicture(int k);

// The program's icon, 32 x 32 and 16 x 16.
QIcon applicationIcon();

} // namespace tavlo

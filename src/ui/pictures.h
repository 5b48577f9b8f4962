// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tavlo {

// The picture of named symbol k (0 to 14).
QPixmap symbolPicture(int k);

// The program's icon, the same picture the desktop shows, in the sizes a
// window icon is drawn at (larger ones come from the icon theme).
inline constexpr int IconSizes[] = {16, 32, 48};
QIcon applicationIcon();

} // namespace tavlo

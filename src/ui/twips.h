// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

namespace tavlo {

// The layout is kept in twips, 1/1440 inch, the unit the window was designed
// in; 15 twips are one pixel at 96 dots per inch, and Qt scales pixels for
// high-DPI screens.
inline constexpr int TwipsPerPixel = 15;

constexpr int px(int twips)
{
    return twips / TwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// Puts a new control at its place in the layout and hands it back.
template <typename W> W *place(W *widget, const QRect &geometry)
{
    widget->setGeometry(geometry);
    return widget;
}

} // namespace tavlo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

namespace tavlo {

// The layout is kept in twips, 1/1440 inch, the unit the window was designed
// in. A twip is an inch's share at the screen's logical resolution, as fonts
// are: 15 twips are one pixel at 96 dots per inch, 12 at 120, so that a
// larger font setting enlarges the layout with its texts. Qt scales pixels
// further for high-DPI screens.
inline constexpr int TwipsPerInch = 1440;
inline constexpr int DesignDotsPerInch = 96;

// The logical resolution the layout is made for; set once, before the
// window is made.
void setLayoutDotsPerInch(int dotsPerInch);
int layoutDotsPerInch();

inline int px(int twips)
{
    return twips * layoutDotsPerInch() / TwipsPerInch;
}

inline QRect twipsRect(int left, int top, int width, int height)
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

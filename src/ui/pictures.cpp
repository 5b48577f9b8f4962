// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictures.h"

#include "iconpixels.h"
#include "lists.h"

#include <QImage>
#include <QStringList>
#include <array>

namespace tavlo {

namespace {
// Compiled in (XPM is C) rather than read through the image readers: their
// plugin search alone takes longer at start-up than building a set's controls.
#include "pictures/symbol00_handheld.xpm"
#include "pictures/symbol01_jogger.xpm"
#include "pictures/symbol02_home.xpm"
#include "pictures/symbol03_tent.xpm"
#include "pictures/symbol04_yacht.xpm"
#include "pictures/symbol05_sstv.xpm"
#include "pictures/symbol06_aircraft.xpm"
#include "pictures/symbol07_boat.xpm"
#include "pictures/symbol08_car.xpm"
#include "pictures/symbol09_motorcycle.xpm"
#include "pictures/symbol10_triangle.xpm"
#include "pictures/symbol11_jeep.xpm"
#include "pictures/symbol12_rv.xpm"
#include "pictures/symbol13_truck.xpm"
#include "pictures/symbol14_van.xpm"
} // namespace

QPixmap symbolPicture(int k)
{
    static const char *const *const pictures[SymbolOthers] = {
        symbol00, symbol01, symbol02, symbol03, symbol04, symbol05, symbol06, symbol07,
        symbol08, symbol09, symbol10, symbol11, symbol12, symbol13, symbol14,
    };
    if (k < 0 || k >= SymbolOthers)
        return QPixmap();
    // Decoded once: every set shows a picture at start-up, and again on every step.
    static std::array<QPixmap, SymbolOthers> decoded;
    if (decoded[k].isNull())
        decoded[k] = QPixmap(pictures[k]);
    return decoded[k];
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const iconpixels::Picture &picture : iconpixels::pictures) {
        const QImage image(reinterpret_cast<const uchar *>(picture.argb), picture.side,
                           picture.side, QImage::Format_ARGB32);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace tavlo

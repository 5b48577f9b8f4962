// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictures.h"

#include "lists.h"

#include <QStringList>
#include <array>

namespace tavlo {

QPixmap symbolPicture(int k)
{
    static const char *const files[SymbolOthers] = {
        "symbol00_handheld", "symbol01_jogger",     "symbol02_home",     "symbol03_tent",
        "symbol04_yacht",    "symbol05_sstv",       "symbol06_aircraft", "symbol07_boat",
        "symbol08_car",      "symbol09_motorcycle", "symbol10_triangle", "symbol11_jeep",
        "symbol12_rv",       "symbol13_truck",      "symbol14_van",
    };
    if (k < 0 || k >= SymbolOthers)
        return QPixmap();
    // Decoded once: every set shows a picture at start-up, and again on every step.
    static std::array<QPixmap, SymbolOthers> decoded;
    if (decoded[k].isNull())
        decoded[k] = QPixmap(QStringLiteral(":/pictures/%1.xpm").arg(QLatin1String(files[k])));
    return decoded[k];
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : IconSizes)
        icon.addFile(QStringLiteral(":/icons/tavlo-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace tavlo

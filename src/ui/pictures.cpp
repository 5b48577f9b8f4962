#include "pictures.h"

#include "lists.h"

#include <QStringList>

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
    return QPixmap(QStringLiteral(":/pictures/%1.xpm").arg(QLatin1String(files[k])));
}

QIcon windowIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/pictures/icon32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/pictures/icon16.xpm"), QSize(16, 16));
    return icon;
}

} // namespace tavlo

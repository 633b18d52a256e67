#include "session/Utilities.h"

#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>

qint16 RandomInteger(int low, int high)
{
    if (high < low)
        qSwap(low, high);
    // QRandomGenerator::global() is seeded once from the system's entropy source.
    return static_cast<qint16>(QRandomGenerator::global()->bounded(low, high + 1));
}

void TileBackground(QPainter& painter, const QPixmap& image, int width, int height)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return;
    for (int x = 0; x <= width; x += image.width())
        for (int y = 0; y <= height; y += image.height())
            painter.drawPixmap(x, y, image);
}

#include "users/UserWindowArt.h"

#include "widgets/VellButton.h"

#include <QPainter>
#include <QPainterPath>

QPixmap UserWindowsBackgroundTile()
{
    constexpr int Size = 32;
    QPixmap tile(Size, Size);
    tile.fill(QColor(214, 222, 234));
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    // A faint weave: light and shaded threads on both diagonals, drawn three
    // times over so that copies side by side join without a seam.
    for (int shift : {-Size, 0, Size}) {
        p.setPen(QPen(QColor(222, 229, 239), 3));
        p.drawLine(shift, Size, shift + Size, 0);
        p.setPen(QPen(QColor(207, 216, 229), 1));
        p.drawLine(shift, 0, shift + Size, Size);
    }
    return tile;
}

QPixmap HelpButtonPicture(int size)
{
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(1.5, 1.5, size - 3, size - 3);
    p.setPen(QPen(QColor(20, 60, 120), 1.5));
    p.setBrush(QColor(52, 110, 190));
    p.drawEllipse(disc);
    QFont f;
    f.setBold(true);
    f.setPixelSize(int(size * 0.68));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(disc, Qt::AlignCenter, QStringLiteral("?"));
    return pix;
}

QPixmap QuitButtonPicture(int size)
{
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    // Door frame and the door swung open.
    p.setPen(QPen(QColor(70, 50, 30), 1.5));
    p.setBrush(QColor(235, 225, 205));
    p.drawRect(QRectF(s * 0.12, s * 0.08, s * 0.5, s * 0.84));
    QPainterPath door;
    door.moveTo(s * 0.12, s * 0.08);
    door.lineTo(s * 0.38, s * 0.18);
    door.lineTo(s * 0.38, s * 0.98);
    door.lineTo(s * 0.12, s * 0.92);
    door.closeSubpath();
    p.setBrush(QColor(150, 95, 50));
    p.drawPath(door);
    // The arrow leaving.
    p.setPen(QPen(QColor(180, 30, 30), s * 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.9, s * 0.5));
    p.drawLine(QPointF(s * 0.76, s * 0.36), QPointF(s * 0.9, s * 0.5));
    p.drawLine(QPointF(s * 0.76, s * 0.64), QPointF(s * 0.9, s * 0.5));
    return pix;
}

void SetButtonPicture(VellButton* button, const QPixmap& picture, const QString& accessibleName)
{
    button->setPictureNormal(picture);
    button->setAccessibleName(accessibleName);
}

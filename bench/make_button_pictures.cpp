// Draws the small pictures of the push buttons and writes them as PNG files
// into resources/buttons (or the folder given). The committed files were made
// with it; run it again after changing a drawing:
//   QT_QPA_PLATFORM=offscreen build/bench/make_button_pictures resources/buttons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

constexpr int Size = 16;

QImage draw(const std::function<void(QPainter&, double)>& art)
{
    QImage image(Size, Size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    art(p, Size);
    return image;
}

// A question mark in a blue disc.
void help(QPainter& p, double s)
{
    p.setPen(QPen(QColor(20, 60, 120), 1));
    p.setBrush(QColor(52, 110, 190));
    p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
    QPainterPath mark;
    mark.moveTo(s * 0.34, s * 0.38);
    mark.cubicTo(s * 0.34, s * 0.12, s * 0.72, s * 0.14, s * 0.68, s * 0.36);
    mark.cubicTo(s * 0.65, s * 0.5, s * 0.5, s * 0.5, s * 0.5, s * 0.64);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(s * 0.5, s * 0.81), 1.3, 1.3);
}

// An open door with a red arrow leaving through it.
void quit(QPainter& p, double s)
{
    p.setPen(QPen(QColor(70, 50, 30), 1));
    p.setBrush(QColor(235, 225, 205));
    p.drawRect(QRectF(1.5, 0.5, s * 0.55, s - 1));
    QPainterPath door;
    door.moveTo(1.5, 0.5);
    door.lineTo(s * 0.42, s * 0.14);
    door.lineTo(s * 0.42, s - 0.5);
    door.lineTo(1.5, s - 1.5);
    door.closeSubpath();
    p.setBrush(QColor(150, 95, 50));
    p.drawPath(door);
    p.setPen(QPen(QColor(190, 30, 30), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.94, s * 0.5));
    p.drawLine(QPointF(s * 0.74, s * 0.3), QPointF(s * 0.94, s * 0.5));
    p.drawLine(QPointF(s * 0.74, s * 0.7), QPointF(s * 0.94, s * 0.5));
}

// A magnifying glass.
void find(QPainter& p, double s)
{
    p.setPen(QPen(QColor(90, 60, 30), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.6, s * 0.6), QPointF(s * 0.9, s * 0.9));
    p.setPen(QPen(QColor(40, 60, 100), 1.6));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QPointF(s * 0.4, s * 0.4), s * 0.3, s * 0.3);
    p.setPen(QPen(Qt::white, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(s * 0.22, s * 0.22, s * 0.28, s * 0.28), 90 * 16, 80 * 16);
}

// A red cross.
void cancel(QPainter& p, double s)
{
    p.setPen(QPen(QColor(120, 10, 10), 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 3), QPointF(s - 3, s - 3));
    p.drawLine(QPointF(s - 3, 3), QPointF(3, s - 3));
    p.setPen(QPen(QColor(220, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 3), QPointF(s - 3, s - 3));
    p.drawLine(QPointF(s - 3, 3), QPointF(3, s - 3));
}

// A green tick.
void save(QPainter& p, double s)
{
    QPainterPath tick;
    tick.moveTo(s * 0.14, s * 0.52);
    tick.lineTo(s * 0.4, s * 0.8);
    tick.lineTo(s * 0.88, s * 0.2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(20, 90, 30), 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.setPen(QPen(QColor(60, 170, 70), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/buttons");
    QDir().mkpath(out);
    const std::pair<const char*, void (*)(QPainter&, double)> pictures[] = {
        {"help", help}, {"quit", quit}, {"find", find}, {"cancel", cancel}, {"save", save},
    };
    for (const auto& [name, art] : pictures) {
        const QString file = QDir(out).filePath(QLatin1String(name) + QStringLiteral(".png"));
        if (!draw(art).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
class QtScreenMetrics final : public ScreenMetrics {
public:
    QSize sizeInPixels() override
    {
        const QScreen* s = QGuiApplication::primaryScreen();
        return s ? s->size() : QSize(1024, 768);
    }
    QRect availableGeometry() override
    {
        const QScreen* s = QGuiApplication::primaryScreen();
        return s ? s->availableGeometry() : QRect(QPoint(0, 0), sizeInPixels());
    }
    double logicalDpi() override
    {
        const QScreen* s = QGuiApplication::primaryScreen();
        const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
        return dpi > 0 ? dpi : 96.0;
    }
};
QtScreenMetrics g_realScreen;
ScreenMetrics* g_screen = nullptr;
} // namespace

void setScreenMetrics(ScreenMetrics* metrics) { g_screen = metrics; }
ScreenMetrics& screenMetrics() { return g_screen ? *g_screen : g_realScreen; }

double TwipsPerPixel() { return 1440.0 / screenMetrics().logicalDpi(); }
int TwipsToPixels(double twips) { return int(std::lround(twips / TwipsPerPixel())); }

QRect TwipsRect(int left, int top, int width, int height)
{
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}
int PixelsToTwips(int pixels) { return int(std::lround(pixels * TwipsPerPixel())); }
int ScreenWidthTwips() { return PixelsToTwips(screenMetrics().sizeInPixels().width()); }
int ScreenHeightTwips() { return PixelsToTwips(screenMetrics().sizeInPixels().height()); }

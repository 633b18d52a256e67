#pragma once
// Screen size and the twips measure the window layouts are given in
// (1440 twips per inch at the screen's logical resolution).
#include <QRect>
#include <QSize>

class ScreenMetrics {
public:
    virtual ~ScreenMetrics() = default;
    virtual QSize sizeInPixels() = 0;
    virtual double logicalDpi() = 0;
    // The part of the screen windows may use (without task bars and docks).
    virtual QRect availableGeometry() { return QRect(QPoint(0, 0), sizeInPixels()); }
};

void setScreenMetrics(ScreenMetrics* metrics); // tests; nullptr restores the real screen
ScreenMetrics& screenMetrics();

double TwipsPerPixel();
int TwipsToPixels(double twips);
// A rectangle given in twips (left, top, width, height), in pixels.
QRect TwipsRect(int left, int top, int width, int height);
int PixelsToTwips(int pixels);
// Screen size in twips, as the layouts compare against it.
int ScreenWidthTwips();
int ScreenHeightTwips();

#pragma once
// Small shared procedures used by several windows.
#include <QtGlobal>

class QPixmap;
class QPainter;
class QWidget;

// A whole number drawn uniformly from low to high inclusive. The generator is
// seeded once per process, so calls close together never repeat each other
// by construction.
qint16 RandomInteger(int low, int high);

template <typename T, typename U>
void AddTo(T& value, U amount)
{
    value = static_cast<T>(value + amount);
}

inline double Larger(double a, double b) { return a >= b ? a : b; }
inline double Smaller(double a, double b) { return a <= b ? a : b; }

// Covers the painter's area of size (width, height) with copies of image,
// starting at the top-left corner; the last row and column may overhang.
void TileBackground(QPainter& painter, const QPixmap& image, int width, int height);

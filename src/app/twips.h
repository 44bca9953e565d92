#pragma once
// The window designs are in twips; Qt places widgets in pixels. 15 twips make one pixel at 96 DPI.
// This is the one place where the two meet.

#include <QRect>
#include <QWidget>

#include <cmath>

namespace twips {

constexpr int kPerPixel = 15;

inline int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / kPerPixel));
}
inline int fromPixels(int pixels) {
    return pixels * kPerPixel;
}

// Places w at a design rectangle given in twips (inside its parent).
inline void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// The widget's rectangle in twips, as the window's layout and the tests read it.
inline QRect geometry(const QWidget* w) {
    const QRect g = w->geometry();
    return {fromPixels(g.x()), fromPixels(g.y()), fromPixels(g.width()), fromPixels(g.height())};
}

} // namespace twips

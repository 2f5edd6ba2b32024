#pragma once
// Stored window bounds applied to a window: a rectangle too small to use (the stored defaults
// give the plot 70 pixels of height) is grown to the window's minimum, and a window is kept on
// the screen.

#include "records/Environ.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace marevo {

// top: the highest place the window may take.
inline void PlaceWindow(QWidget* w, const TWindowRect& r, QSize minimum, int top = 0) {
    if (r.Right <= r.Left || r.Bottom <= r.Top)
        return;
    QRect g(r.Left, std::max(r.Top, top), std::max(r.Right - r.Left, minimum.width()),
            std::max(r.Bottom - r.Top, minimum.height()));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->availableGeometry();
        g.moveLeft(std::clamp(g.left(), s.left(), std::max(s.left(), s.right() - g.width())));
        g.moveTop(std::clamp(g.top(), s.top(), std::max(s.top(), s.bottom() - g.height())));
    }
    w->setGeometry(g);
}

// The window's bounds kept as the environment stores them.
inline void StoreWindowRect(const QWidget* w, TWindowRect& r) {
    const QRect g = w->geometry();
    r = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

} // namespace marevo

#pragma once

#include <QList>
#include <Qt>

// How far the chat is zoomed: a browser's steps, from the keys, the wheel and
// the context menu alike.

// The levels in per cent of the page's own size, smallest first.
const QList<int> &zoomStepsPercent();

constexpr qreal kActualSize = 1.0;

enum class ZoomChange { None, In, Out, ActualSize };

// The step after `factor` in that direction; a level between two steps goes
// to the nearer one in that direction, and the ends stay where they are.
qreal zoomed(qreal factor, ZoomChange change);

// A level read from a file: inside the steps' range, and the actual size
// where it is no number.
qreal usableZoom(qreal stored);

// Ctrl with plus (also "=", the key plus sits on, and the keypad's), minus
// or 0; Shift may come with them, Alt and Meta may not.
ZoomChange zoomChangeForKey(int key, Qt::KeyboardModifiers modifiers);
// Ctrl (and nothing but Shift) with the wheel: away from the user zooms in.
ZoomChange zoomChangeForWheel(int angleDeltaY, Qt::KeyboardModifiers modifiers);

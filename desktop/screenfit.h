#pragma once

#include <QRect>

// A window's outer rectangle kept inside the screen's available area: shrunk
// to it where it is larger, then moved in as little as it takes.
QRect fittedInto(const QRect &frame, const QRect &area);

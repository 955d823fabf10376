#include "desktop/screenfit.h"

#include <QtGlobal>

QRect fittedInto(const QRect &frame, const QRect &area)
{
    if (area.isEmpty())
        return frame; // no screen to speak of
    const int width = qMin(frame.width(), area.width());
    const int height = qMin(frame.height(), area.height());
    const int left = qBound(area.left(), frame.left(), area.left() + area.width() - width);
    const int top = qBound(area.top(), frame.top(), area.top() + area.height() - height);
    return QRect(left, top, width, height);
}

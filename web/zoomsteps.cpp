#include "web/zoomsteps.h"

#include <cmath>

const QList<int> &zoomStepsPercent()
{
    static const QList<int> steps { 25,  33,  50,  67,  75,  80,  90,  100, 110,
                                    125, 150, 175, 200, 250, 300, 400, 500 };
    return steps;
}

qreal zoomed(qreal factor, ZoomChange change)
{
    const QList<int> &steps = zoomStepsPercent();
    const qreal percent = usableZoom(factor) * 100;
    // Half a per cent of slack: a level read back from the engine is not
    // always the exact step it was given.
    switch (change) {
    case ZoomChange::In:
        for (int step : steps)
            if (step > percent + 0.5)
                return step / 100.0;
        return steps.last() / 100.0;
    case ZoomChange::Out:
        for (auto it = steps.crbegin(); it != steps.crend(); ++it)
            if (*it < percent - 0.5)
                return *it / 100.0;
        return steps.first() / 100.0;
    case ZoomChange::ActualSize:
        return kActualSize;
    case ZoomChange::None:
        break;
    }
    return factor;
}

qreal usableZoom(qreal stored)
{
    if (!std::isfinite(stored))
        return kActualSize;
    return qBound(zoomStepsPercent().first() / 100.0, stored, zoomStepsPercent().last() / 100.0);
}

namespace {

bool zooms(Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers others =
            modifiers & ~(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    return (modifiers & Qt::ControlModifier) && !others;
}

} // namespace

ZoomChange zoomChangeForKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (!zooms(modifiers))
        return ZoomChange::None;
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return ZoomChange::In;
    case Qt::Key_Minus:
        return ZoomChange::Out;
    case Qt::Key_0:
        return ZoomChange::ActualSize;
    default:
        return ZoomChange::None;
    }
}

ZoomChange zoomChangeForWheel(int angleDeltaY, Qt::KeyboardModifiers modifiers)
{
    if (!zooms(modifiers) || angleDeltaY == 0)
        return ZoomChange::None;
    return angleDeltaY > 0 ? ZoomChange::In : ZoomChange::Out;
}

#include "desktop/topmost.h"

#include <QWidget>
#include <QWindow>

void setTopMost(QWidget *window, bool topMost)
{
    const Qt::WindowFlags flags = window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, topMost);
    if (QWindow *handle = window->windowHandle()) {
        // QWidget::setWindowFlags() would hide the window to re-create it;
        // the platform window takes the change while it is shown.
        handle->setFlags(flags);
        window->overrideWindowFlags(flags);
    } else {
        window->setWindowFlags(flags); // not created yet: nothing to hide
    }
}

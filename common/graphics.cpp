#include "common/graphics.h"

#include <QCoreApplication>
#include <QQuickWindow>

void useSoftwareCompositing()
{
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Where it is GL, the browser engine shares its contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

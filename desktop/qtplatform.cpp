#include "desktop/qtplatform.h"

#include <QtGlobal>

QByteArray preferredQtPlatform()
{
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (!waylandSession || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        || qEnvironmentVariableIsEmpty("DISPLAY"))
        return {};
    return QByteArrayLiteral("xcb");
}

// Qt's X11 platform without GL of its own while the application object is made.
#include "desktop/xcbgloff.h"

#include <QByteArray>
#include <QtGlobal>

namespace {
const char kIntegration[] = "QT_XCB_GL_INTEGRATION";
} // namespace

XcbGlOff::XcbGlOff()
{
    // A user who picks a GPU backend for Qt Quick needs GL in this process.
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet(kIntegration))
        return;
    m_set = qputenv(kIntegration, QByteArrayLiteral("none"));
}

XcbGlOff::~XcbGlOff()
{
    // Set for the whole run it would reach the engine's processes, which
    // then do not start.
    if (m_set)
        qunsetenv(kIntegration);
}

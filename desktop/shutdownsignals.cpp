#include "desktop/shutdownsignals.h"

#include <QGuiApplication>

#include <utility>

ShutdownSignals::ShutdownSignals(QObject *parent) : QObject(parent)
{
    catchEarly();
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this] { request(Request::SessionEnd); });
    watchPlatform();
}

void ShutdownSignals::open()
{
    m_open = true;
    if (m_pending != Request::None)
        QMetaObject::invokeMethod(this, &ShutdownSignals::deliver, Qt::QueuedConnection);
}

void ShutdownSignals::request(Request which)
{
    // A session's end outranks a plain request: the window must not hold it up.
    if (m_pending != Request::SessionEnd)
        m_pending = which;
    if (m_open)
        deliver();
}

void ShutdownSignals::deliver()
{
    const Request which = std::exchange(m_pending, Request::None);
    if (which == Request::SessionEnd)
        emit sessionEnding();
    else if (which == Request::Shutdown)
        emit shutdownRequested();
}

#include "desktop/shutdownsignals.h"

// A Windows session's end arrives as the window system's own close request,
// which the main window answers; a GUI process has no console signals to catch.
ShutdownSignals::ShutdownSignals(QObject *parent) : QObject(parent)
{
}

ShutdownSignals::~ShutdownSignals() = default;

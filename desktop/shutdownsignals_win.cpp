#include "desktop/shutdownsignals.h"

// A Windows session's end arrives as the window system's own request to the
// application object (commitDataRequest), watched from the moment that object
// exists; a GUI process has no console signals to catch.
void ShutdownSignals::catchEarly()
{
}

// A Windows GUI program has no standard descriptors to keep.
void ShutdownSignals::keepStandardDescriptors()
{
}

void ShutdownSignals::watchPlatform()
{
}

ShutdownSignals::~ShutdownSignals() = default;

#include "desktop/xcbgloff.h"

// Windows has no xcb platform: its windows keep their own way to GL.
XcbGlOff::XcbGlOff() = default;
XcbGlOff::~XcbGlOff() = default;

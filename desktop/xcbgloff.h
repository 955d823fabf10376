#pragma once

// While one of these lives, Qt's X11 (xcb) platform brings up no OpenGL of
// its own. Made around the QApplication constructor only: there the browser
// engine would create its shared GL context, loading a software GL driver of
// some 30 MiB and costing tens of milliseconds, although every page is
// composited in software. The browser engine's own processes and any program
// the user starts from here do not inherit it.
//
// Left alone when the user chose the Qt Quick backend or the xcb GL
// integration; on other platforms it does nothing.
class XcbGlOff {
public:
    XcbGlOff();
    ~XcbGlOff();
    XcbGlOff(const XcbGlOff &) = delete;
    XcbGlOff &operator=(const XcbGlOff &) = delete;

private:
    bool m_set = false;
};

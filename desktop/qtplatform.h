#pragma once

#include <QByteArray>

// The Qt platform to ask for where Qt's own choice would cost a feature. On a
// Wayland session Qt runs as a Wayland client, and no Wayland client may keep
// itself on top or drop its taskbar button; through XWayland, where the
// session has one (an X display beside the Wayland one), both work. Empty:
// Qt's own choice, also whenever the user chose one with QT_QPA_PLATFORM.
QByteArray preferredQtPlatform();

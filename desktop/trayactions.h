#pragma once

#include <QSystemTrayIcon>

// What a click on the notification-area icon does. The desktop reports a left
// press as Trigger and a double-click as Trigger followed by DoubleClick, so a
// double-click restores the window first and then shows its message. The
// right button's menu is shown by the desktop itself.
enum class TrayAction { None, Restore, DoubleClickMessage };

TrayAction trayActionFor(QSystemTrayIcon::ActivationReason reason);

#include "desktop/trayactions.h"

TrayAction trayActionFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayAction::Restore;
    case QSystemTrayIcon::DoubleClick:
        return TrayAction::DoubleClickMessage;
    case QSystemTrayIcon::Context: // the menu, shown by the desktop
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return TrayAction::None;
}

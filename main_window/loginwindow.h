#pragma once

#include "web/webview.h"

#include <functional>

class BrowserProfile;

// A browser window of its own, in front of the main window, for the badge
// service's pages while the owner is logged out, zooming and with its menu
// as the chat does. It goes when it is closed.
class LoginWindow : public WebView {
    Q_OBJECT
public:
    // A window of its own even with a parent, which keeps it in front of the
    // main window and from outliving the program's browser profile.
    LoginWindow(BrowserProfile *profile, std::function<bool(const QUrl &)> allows,
                QWidget *parent);

    // Shown, in front, with the keyboard: the owner types into it next.
    void present();
};

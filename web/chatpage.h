#pragma once

#include "web/webpage.h"

// The page shown in webChat. Links that the chat opens in a new window (a
// visitor's link) go to the user's own browser, never in place of the chat.
class ChatPage : public WebPage {
    Q_OBJECT
public:
    ChatPage(QWebEngineProfile *profile, NavigationRule allows, QObject *parent);

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;
};

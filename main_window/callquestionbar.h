#pragma once

#include "web/callpermissions.h"

#include <QToolBar>

class QCheckBox;
class QLabel;
class SitePermissions;

// The question of a call, above the chat: which site wants what, Allow or
// Block (Alt+A, Alt+B; neither is the default, so no Enter meant for the
// chat answers it) and "Remember for this site". It shows only while a
// question stands.
class CallQuestionBar : public QToolBar {
    Q_OBJECT
public:
    explicit CallQuestionBar(QWidget *parent);

    // Shows the questions of `permissions` and gives them the owner's answers.
    void follow(SitePermissions *permissions);

signals:
    // A question came while the window is hidden: the owner is to be told
    // elsewhere, and to find it here on coming back.
    void unseenQuestion(const QString &title, const QString &text);

private:
    void showQuestion();
    void answer(bool allow);

    SitePermissions *m_permissions = nullptr;
    QLabel *m_text;
    QCheckBox *m_remember;
};

#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Every message box that appears while this lives is answered as a user
// pressing OK would, and remembered as "caption: text".
class AnsweredMessages {
public:
    AnsweredMessages()
    {
        m_boxes.callOnTimeout([this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                m_messages.append(box->windowTitle() + QLatin1String(": ") + box->text());
                box->done(QMessageBox::Ok);
            }
        });
        m_boxes.start(20);
    }

    QStringList all() const { return m_messages; }
    QString last() const { return m_messages.value(m_messages.size() - 1); }

private:
    QTimer m_boxes;
    QStringList m_messages;
};

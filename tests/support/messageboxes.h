#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers every message box that appears while it lives, as a user pressing
// OK would, and remembers what the boxes said.
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible()) {
                    m_seen.append(box->windowTitle() + QLatin1String(": ") + box->text());
                    box->done(QMessageBox::Ok);
                }
            }
        });
        m_timer.start();
    }

    QStringList seen() const { return m_seen; }

private:
    QTimer m_timer;
    QStringList m_seen;
};

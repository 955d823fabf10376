#pragma once

#include <QObject>
#include <QSettings>

#include <optional>

// The owner's choices inside the chat, kept across restarts in a small file
// of the program's own beside the engine's profile (view.ini), apart from
// talvorin.ini and its fixed lines: the zoom level of every view, the
// spelling language and the answers to calls the owner chose to remember.
class ViewSettings : public QObject {
    Q_OBJECT
public:
    ViewSettings(const QString &filePath, QObject *parent);

    qreal zoomFactor() const { return m_zoom; }
    void setZoomFactor(qreal factor);

    // The language chosen from the menu, empty for "Off"; none until the
    // owner chooses.
    std::optional<QString> spellingChoice() const;
    void setSpellingChoice(const QString &language);

    // Lines "microphone https://chat.example.com", allowed or blocked.
    QStringList callAnswers(bool allowed) const;
    void setCallAnswers(const QStringList &allowed, const QStringList &blocked);

signals:
    void zoomChanged(qreal factor);
    void spellingChoiceChanged();

private:
    // Written at once: another view (or the next start) reads it next.
    void store(const QString &key, const QVariant &value);
    void keep(const QString &what);

    QSettings m_file;
    qreal m_zoom;
};

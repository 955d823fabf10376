#pragma once

#include <QObject>
#include <QSettings>

#include <optional>

// The owner's choices inside the chat, kept across restarts in a small file
// of the program's own beside the engine's profile (view.ini), apart from
// talvorin.ini and its fixed lines: the zoom level of every view and the
// spelling language.
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

signals:
    void zoomChanged(qreal factor);
    void spellingChoiceChanged();

private:
    // Written at once: another view (or the next start) reads it next.
    void store(const QString &key, const QVariant &value);

    QSettings m_file;
    qreal m_zoom;
};

#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// What the program would open in the user's browser or file manager, for
// the given schemes, caught while this lives instead of opened.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    explicit OpenedUrls(const QStringList &schemes) : m_schemes(schemes)
    {
        for (const QString &scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedUrls() override
    {
        for (const QString &scheme : qAsConst(m_schemes))
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QList<QUrl> all() const { return m_urls; }

public slots:
    void open(const QUrl &url) { m_urls.append(url); }

private:
    QStringList m_schemes;
    QList<QUrl> m_urls;
};

#include "web/viewsettings.h"

#include "web/zoomsteps.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcView, "talvorin.view", QtWarningMsg)

namespace {

const QString kZoom = QStringLiteral("zoom");
const QString kSpelling = QStringLiteral("spelling");
const QString kCallsAllowed = QStringLiteral("calls/allowed");
const QString kCallsBlocked = QStringLiteral("calls/blocked");

} // namespace

ViewSettings::ViewSettings(const QString &filePath, QObject *parent)
    : QObject(parent),
      m_file(filePath, QSettings::IniFormat),
      m_zoom(usableZoom(m_file.value(kZoom, kActualSize).toDouble()))
{
}

void ViewSettings::setZoomFactor(qreal factor)
{
    factor = usableZoom(factor);
    if (qFuzzyCompare(factor, m_zoom))
        return;
    m_zoom = factor;
    store(kZoom, factor);
    emit zoomChanged(factor);
}

std::optional<QString> ViewSettings::spellingChoice() const
{
    if (!m_file.contains(kSpelling))
        return std::nullopt;
    return m_file.value(kSpelling).toString();
}

void ViewSettings::setSpellingChoice(const QString &language)
{
    store(kSpelling, language);
    emit spellingChoiceChanged();
}

QStringList ViewSettings::callAnswers(bool allowed) const
{
    return m_file.value(allowed ? kCallsAllowed : kCallsBlocked).toStringList();
}

void ViewSettings::setCallAnswers(const QStringList &allowed, const QStringList &blocked)
{
    // No line is no answer: an empty list would be kept as a value of its own.
    const std::pair<QString, QStringList> lists[] = { { kCallsAllowed, allowed },
                                                      { kCallsBlocked, blocked } };
    for (const auto &[key, lines] : lists) {
        if (lines.isEmpty())
            m_file.remove(key);
        else
            m_file.setValue(key, lines);
    }
    keep(QStringLiteral("calls"));
}

void ViewSettings::store(const QString &key, const QVariant &value)
{
    m_file.setValue(key, value);
    keep(key);
}

void ViewSettings::keep(const QString &what)
{
    m_file.sync();
    // The choice still holds for this run; only the next start forgets it.
    if (m_file.status() != QSettings::NoError)
        qCDebug(lcView) << "not kept:" << what << "in" << m_file.fileName();
}

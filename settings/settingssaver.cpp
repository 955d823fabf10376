#include "settings/settingssaver.h"

#include "common/programmessage.h"
#include "settings/settingsformat.h"

#include <QDir>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSaver, "talvorin.settings", QtWarningMsg)

void SettingsSaver::save(const SettingsState &state, bool quiet)
{
    QString error;
    if (m_file.write(formatSettings(state), &error))
        return;
    qCWarning(lcSaver).noquote() << "settings not saved to" << m_file.path() << error;
    if (m_failureShown || quiet)
        return;
    m_failureShown = true;
    showProgramMessage(m_window,
                       QStringLiteral("The settings cannot be saved to %1; changes last until "
                                      "TalvorinTool ends.\n%2")
                               .arg(QDir::toNativeSeparators(m_file.path()), error));
}

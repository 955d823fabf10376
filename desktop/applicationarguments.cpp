#include "desktop/applicationarguments.h"

#include "desktop/qtplatform.h"

#include <QByteArrayView>
#include <QList>

#include <algorithm>

ApplicationArguments::ApplicationArguments(int argc, char **argv)
    : m_platform(preferredQtPlatform())
{
    m_argv.assign(argv, argv + argc);
    if (!m_platform.isEmpty())
        m_argv.insert(m_argv.begin() + 1, { m_platformOption.data(), m_platform.data() });
    // The engine takes what follows --webEngineArgs; the user's own
    // switches there (and in QTWEBENGINE_CHROMIUM_FLAGS) still count.
    auto engineArgs = std::find(m_argv.begin(), m_argv.end(), QByteArrayView("--webEngineArgs"));
    if (engineArgs == m_argv.end())
        engineArgs = m_argv.insert(m_argv.end(), m_engineArgs.data());
    m_argv.insert(engineArgs + 1, m_lowEnd.data());
    m_argc = int(m_argv.size());
    m_argv.push_back(nullptr);
    // With QTWEBENGINE_CHROMIUM_FLAGS set, the engine reads its switches from
    // there alone and passes over the command line's: the low-end mode then
    // has to stand beside the user's own switches.
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.isEmpty() && !flags.split(' ').contains(m_lowEnd))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + ' ' + m_lowEnd);
}

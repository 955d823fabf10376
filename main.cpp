#include "common/graphics.h"
#include "desktop/commandline.h"
#include "desktop/qtplatform.h"
#include "desktop/shutdownsignals.h"
#include "desktop/singleinstance.h"
#include "desktop/xcbgloff.h"
#include "main_window/frmmain.h"
#include "presence/earlystart.h"
#include "settings/settingsfile.h"

#include <QApplication>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The arguments the application object keeps for its whole life: the
// program's own, a platform of Qt's where its own choice would cost a feature
// (see preferredQtPlatform), and the browser engine's switches. Given as
// arguments, not through QT_QPA_PLATFORM or QTWEBENGINE_CHROMIUM_FLAGS, so
// that the programs the user opens from here (a browser for a visitor's link)
// make their own choice.
class ApplicationArguments {
public:
    ApplicationArguments(int argc, char **argv) : m_platform(preferredQtPlatform())
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
    }
    int &argc() { return m_argc; }
    char **argv() { return m_argv.data(); }

private:
    QByteArray m_platformOption = QByteArrayLiteral("-platform");
    QByteArray m_platform;
    QByteArray m_engineArgs = QByteArrayLiteral("--webEngineArgs");
    // A chat left for days hidden in the tray: in low-end device mode the
    // engine keeps its heaps and caches small and gives memory back. On a
    // chat page busy every second the renderer stayed at some 70 MiB where
    // without it it climbed to some 90 MiB and on (bench/results.md).
    QByteArray m_lowEnd = QByteArrayLiteral("--enable-low-end-device-mode");
    std::vector<char *> m_argv;
    int m_argc = 0;
};

// Without GL of Qt's own on X11 while the application object is made: see
// XcbGlOff.
std::unique_ptr<QApplication> createApplication(ApplicationArguments &arguments)
{
    const XcbGlOff noGl;
    return std::make_unique<QApplication>(arguments.argc(), arguments.argv());
}

} // namespace

int main(int argc, char *argv[])
{
    // A logout may come while the program is still starting: from here on it
    // waits for the window's Exit instead of ending the program on the spot.
    ShutdownSignals::catchEarly();
    QCoreApplication::setApplicationName(QStringLiteral("TalvorinTool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVORIN_VERSION));
    if (const std::optional<int> status = answerCommandLine(argc, argv))
        return *status;

    useSoftwareCompositing();
    ApplicationArguments arguments(argc, argv);
    const std::unique_ptr<QApplication> app = createApplication(arguments);
    app->setDesktopFileName(QStringLiteral("TalvorinTool"));
    // Closing the window only hides it; the program ends with Exit alone.
    app->setQuitOnLastWindowClosed(false);
    ShutdownSignals shutdown;

    const SettingsFile settings = SettingsFile::forThisProgram();
    const std::unique_ptr<SingleInstance> onlyCopy = SingleInstance::claim(settings.path());
    if (!onlyCopy)
        return 0; // the running copy shows its window instead

    // The owner's site hears of the start first: building the window takes
    // longer than the request needs to go out.
    frmMain window(settings, startPresenceEarly(settings));
    app->setWindowIcon(window.windowIcon());
    QObject::connect(onlyCopy.get(), &SingleInstance::activationRequested, &window,
                     &frmMain::bringBack);
    QObject::connect(&shutdown, &ShutdownSignals::shutdownRequested, &window,
                     &frmMain::mnuExit_Click);
    QObject::connect(&shutdown, &ShutdownSignals::sessionEnding, &window, &frmMain::sessionEnding);
    QObject::connect(&window, &frmMain::unloaded, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);

    window.load();
    if (!window.isExitRequested())
        window.show();
    // A request to end that came while the window was being made runs its
    // Exit now, from the event loop.
    shutdown.open();
    return app->exec();
}

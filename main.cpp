#include "common/graphics.h"
#include "desktop/applicationarguments.h"
#include "desktop/commandline.h"
#include "desktop/shutdownsignals.h"
#include "desktop/singleinstance.h"
#include "desktop/xcbgloff.h"
#include "main_window/frmmain.h"
#include "presence/earlystart.h"
#include "presence/guardian.h"
#include "settings/settingsfile.h"
#include "web/dictionaries.h"

#include <QApplication>

#include <memory>

namespace {

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
    ShutdownSignals::keepStandardDescriptors();
    // Sending the exit link for a guardian, when that is what was asked.
    if (const std::optional<int> status = Guardian::runIfAsked(argc, argv))
        return *status;
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
    useProgramDictionaries();
    ShutdownSignals shutdown;

    const SettingsFile settings = SettingsFile::forThisProgram();
    const std::unique_ptr<SingleInstance> onlyCopy = SingleInstance::claim(settings.path());
    if (!onlyCopy)
        return 0; // the running copy shows its window instead
    // This copy runs: it has a guardian, told of the start-up link as it goes out.
    const std::unique_ptr<Guardian> guardian = Guardian::start();

    // The owner's site hears of the start first: building the window takes
    // longer than the request needs to go out.
    std::unique_ptr<Presence> presence = startPresenceEarly(settings);
    presence->setGuardian(guardian.get());
    frmMain window(settings, std::move(presence));
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

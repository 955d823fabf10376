#include "common/graphics.h"
#include "desktop/shutdownsignals.h"
#include "desktop/singleinstance.h"
#include "desktop/xcbgloff.h"
#include "main_window/frmmain.h"
#include "presence/earlystart.h"
#include "settings/settingsfile.h"

#include <QApplication>

#include <memory>

namespace {

// Without GL of Qt's own on X11 while the application object is made: see
// XcbGlOff.
std::unique_ptr<QApplication> createApplication(int &argc, char **argv)
{
    const XcbGlOff noGl;
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    useSoftwareCompositing();
    const std::unique_ptr<QApplication> app = createApplication(argc, argv);
    app->setApplicationName(QStringLiteral("TalvorinTool"));
    app->setDesktopFileName(QStringLiteral("TalvorinTool"));
    // Closing the window only hides it; the program ends with Exit alone.
    app->setQuitOnLastWindowClosed(false);

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

    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::shutdownRequested, &window,
                     &frmMain::mnuExit_Click);
    QObject::connect(app.get(), &QGuiApplication::commitDataRequest, &window, &frmMain::sessionEnding);
    QObject::connect(&window, &frmMain::unloaded, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);

    window.load();
    if (!window.isExitRequested())
        window.show();
    return app->exec();
}

#include "desktop/shutdownsignals.h"
#include "desktop/singleinstance.h"
#include "main_window/frmmain.h"
#include "settings/settingsfile.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The browser engine shares its GL contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("TalvorinTool"));
    app.setDesktopFileName(QStringLiteral("TalvorinTool"));
    // Closing the window only hides it; the program ends with Exit alone.
    app.setQuitOnLastWindowClosed(false);

    const SettingsFile settings = SettingsFile::forThisProgram();
    const std::unique_ptr<SingleInstance> onlyCopy = SingleInstance::claim(settings.path());
    if (!onlyCopy)
        return 0; // the running copy shows its window instead

    frmMain window(settings);
    app.setWindowIcon(window.windowIcon());
    QObject::connect(onlyCopy.get(), &SingleInstance::activationRequested, &window,
                     &frmMain::bringBack);

    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::shutdownRequested, &window,
                     &frmMain::mnuExit_Click);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &frmMain::sessionEnding);
    QObject::connect(&window, &frmMain::unloaded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    window.load();
    if (!window.isExitRequested())
        window.show();
    return app.exec();
}

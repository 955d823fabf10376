#include "desktop/shutdownsignals.h"
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

    frmMain window(SettingsFile::forThisProgram());
    app.setWindowIcon(window.windowIcon());

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

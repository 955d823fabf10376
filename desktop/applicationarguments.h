#pragma once

#include <QByteArray>

#include <vector>

// The arguments the application object keeps for its whole life: the
// program's own, a platform of Qt's where its own choice would cost a feature
// (see preferredQtPlatform), and the browser engine's switches. Given as
// arguments, not through QT_QPA_PLATFORM or QTWEBENGINE_CHROMIUM_FLAGS, so
// that the programs the user opens from here (a browser for a visitor's link)
// make their own choice; only a QTWEBENGINE_CHROMIUM_FLAGS the user set
// already gets the engine's low-end mode added, since the engine then reads
// nothing else.
class ApplicationArguments {
public:
    ApplicationArguments(int argc, char **argv);
    // argv() points into the object's own texts.
    ApplicationArguments(const ApplicationArguments &) = delete;
    ApplicationArguments &operator=(const ApplicationArguments &) = delete;

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

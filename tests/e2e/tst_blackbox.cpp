#include "support/testhttpserver.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The viewable window of the process with the main window's caption; empty when none.
QString viewableWindow(qint64 pid)
{
    const QStringList windows = tool(QStringLiteral("xdotool"),
                                     { "search", "--onlyvisible", "--pid", QString::number(pid) })
                                        .split(u'\n', Qt::SkipEmptyParts);
    for (const QString &window : windows) {
        if (tool(QStringLiteral("xdotool"), { "getwindowname", window }).trimmed()
            == QLatin1String("Talvorin Tool GoogleTalk"))
            return window;
    }
    return {};
}

// The centre of the icon docked in the notification area's panel.
QPoint trayIconCentre()
{
    const QRegularExpression window(QStringLiteral(
            R"(^\s*(0x[0-9a-f]+) ("panel"|.*?).*?(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))"));
    QString panel;
    const QStringList root = tool(QStringLiteral("xwininfo"), { "-root", "-tree" }).split(u'\n');
    for (const QString &line : root) {
        const auto match = window.match(line);
        if (match.hasMatch() && match.captured(2) == QLatin1String("\"panel\""))
            panel = match.captured(1);
    }
    const QStringList docked = tool(QStringLiteral("xwininfo"), { "-tree", "-id", panel }).split(u'\n');
    for (const QString &line : docked) {
        const auto match = window.match(line);
        const int width = match.captured(3).toInt(), height = match.captured(4).toInt();
        if (match.hasMatch() && match.captured(1) != panel && width >= 8 && width <= 64
            && height >= 8 && height <= 64)
            return { match.captured(5).toInt() + width / 2, match.captured(6).toInt() + height / 2 };
    }
    return {};
}

} // namespace

// The built program as a user gets it, driven from outside on a real desktop
// (a window manager and an XEmbed notification area): a copy in a directory of
// its own with its talvorin.ini beside it.
class TestBlackBox : public QObject {
    Q_OBJECT
private slots:
    void trayWindowManagerAndLogout();
};

void TestBlackBox::trayWindowManagerAndLogout()
{
    TestHttpServer server;
    QVERIFY(server.start());
    server.setPage("/status.php?online", "online");
    server.setPage("/status.php?offline", "offline");
    server.setPage("/badge", "<html><body><a href='/chat' target='_blank'>c</a></body></html>");
    server.setPage("/chat", "<html><head><title>Chat</title></head><body>chat</body></html>");

    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("TalvorinTool"));
    QVERIFY(QFile::copy(QStringLiteral(TALVORIN_EXECUTABLE), exe));
    const QByteArray links = "[badgelink]=" + server.url("/badge").toLatin1() + "\r\n[linkstart]="
            + server.url("/status.php?online").toLatin1() + "\r\n[linkclose]="
            + server.url("/status.php?offline").toLatin1() + "\r\n";
    QFile ini(dir.filePath(QStringLiteral("talvorin.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(links + "[ontop]=True\r\n");
    ini.close();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    for (const char *xdg : { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" })
        env.remove(QLatin1String(xdg)); // all below the new HOME
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(exe, {});
    QVERIFY(program.waitForStarted());

    // On the desktop: on top, no taskbar button, as the file and the design say.
    QTRY_VERIFY_WITH_TIMEOUT(!viewableWindow(program.processId()).isEmpty(), 30000);
    const QString window = viewableWindow(program.processId());
    QTRY_COMPARE_WITH_TIMEOUT(server.count("/chat"), 1, 30000);
    const QString state = tool(QStringLiteral("xprop"), { "-id", window, "_NET_WM_STATE" });
    QVERIFY2(state.contains(QLatin1String("_NET_WM_STATE_ABOVE")), qPrintable(state));
    QVERIFY2(state.contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR")), qPrintable(state));

    // The window manager's close only hides it; a click on the tray icon brings it back.
    tool(QStringLiteral("wmctrl"), { "-i", "-c", window });
    QTRY_VERIFY_WITH_TIMEOUT(viewableWindow(program.processId()).isEmpty(), 5000);
    QTest::qWait(500);
    QCOMPARE(program.state(), QProcess::Running);
    const QPoint icon = trayIconCentre();
    QVERIFY(!icon.isNull());
    tool(QStringLiteral("xdotool"), { "mousemove", QString::number(icon.x()),
                                      QString::number(icon.y()), "click", "1" });
    QTRY_VERIFY_WITH_TIMEOUT(!viewableWindow(program.processId()).isEmpty(), 5000);

    program.terminate(); // SIGTERM, as a logout sends it
    // The server lives in this process: wait with its events running.
    QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 15000);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QList<QByteArray> statusRequests = server.requests();
    statusRequests.removeIf([](const QByteArray &path) { return !path.startsWith("/status"); });
    QCOMPARE(statusRequests, (QList<QByteArray> { "/status.php?online", "/status.php?offline" }));

    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray written = ini.readAll();
    QVERIFY2(written.startsWith(links + "[ontop]=True\r\n[taskbar]=False\r\n[startwin]=False\r\n"),
             written.constData());
    const QRegularExpression size(QStringLiteral("\\[height\\]=\\d+\r\n\\[width\\]=\\d+\r\n$"));
    QVERIFY2(size.match(QString::fromLatin1(written)).hasMatch(), written.constData());
}

QTEST_GUILESS_MAIN(TestBlackBox)
#include "tst_blackbox.moc"

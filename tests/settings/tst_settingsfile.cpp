#include "settings/settingsfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `work` in a forked child, as an ordinary user (uid 65534) where the test
// runs as root, who writes through any permission; true if it answered true.
bool asOrdinaryUser(const std::function<bool()> &work)
{
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534)))
            _exit(2);
        _exit(work() ? 0 : 1);
    }
    int status = 1;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 2)
        qFatal("the child could not run as an ordinary user");
    return WEXITSTATUS(status) == 0;
}

void setMode(const QString &path, mode_t mode)
{
    QVERIFY(chmod(QFile::encodeName(path).constData(), mode) == 0);
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    // Beside the program where its folder is writable or holds the file already;
    // in the configuration folder otherwise, and always for an installed copy.
    void location()
    {
        QTemporaryDir program, config;
        auto locatedIn = [&](mode_t mode, bool installed, const QTemporaryDir &expected) {
            setMode(program.path(), mode);
            return asOrdinaryUser([&] {
                return SettingsFile::locate(program.path(), config.path(), installed)
                        == expected.filePath("talvorin.ini");
            });
        };
        QVERIFY(locatedIn(0555, false, config));
        QVERIFY(locatedIn(0777, false, program));
        QVERIFY(QFile(program.filePath("talvorin.ini")).open(QIODevice::WriteOnly));
        QVERIFY(locatedIn(0555, false, program));
        QVERIFY(locatedIn(0777, true, config));
        setMode(program.path(), 0700);
    }

    // A save replaces the file whole, creating its folder; a failed one says
    // so and leaves the previous file whole, with no temporary file behind.
    void write_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("previous");
        const QByteArray small = "[badgelink]=old\r\n";
        QTest::newRow("new folder") << "" << QByteArray();
        QTest::newRow("longer file") << "" << small + QByteArray(8192, 'x');
        QTest::newRow("read-only file") << "file" << small;
        QTest::newRow("read-only folder") << "folder" << small;
        QTest::newRow("disk full") << "full" << small;
    }
    void write()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, previous);
        const QByteArray next = "[badgelink]=new\r\n" + QByteArray(4096, 'y');
        QTemporaryDir dir;
        const QString folder = dir.filePath("sub"), path = folder + "/talvorin.ini";
        setMode(dir.path(), 0777);
        if (!previous.isEmpty()) {
            QVERIFY(SettingsFile(path).write(previous));
            setMode(folder, fault == "folder" ? 0555 : 0777);
            setMode(path, fault == "file" ? 0444 : 0666);
        }
        const bool writtenOrSilent = asOrdinaryUser([&] {
            if (fault == "full") { // writes past 1 KB fail from here on
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit { 1024, RLIM_INFINITY };
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            QString error; // a failure says why
            return SettingsFile(path).write(next, &error) || error.isEmpty();
        });
        QCOMPARE(writtenOrSilent, fault.isEmpty());
        QCOMPARE(SettingsFile(path).read(), fault.isEmpty() ? next : previous);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList { "talvorin.ini" });
        setMode(folder, 0700);
    }
};

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"

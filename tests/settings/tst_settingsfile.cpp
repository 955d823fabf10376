#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Lets the next writes of this process fail once a file would grow past
// `bytes`, as on a full disk; restores the old limit when it goes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

// An ordinary user's ids, for the parts of a test that root, who writes
// through any permission, cannot show.
const uid_t kNobody = 65534;

// Runs `work` in a forked child of this test, as an ordinary user where the
// test runs as root, and gives back what it answered.
bool asOrdinaryUser(const std::function<bool()> &work)
{
    const pid_t child = fork();
    if (child < 0)
        qFatal("cannot fork");
    if (child == 0) {
        if (geteuid() == 0
            && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(3);
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        qFatal("the child did not end");
    if (WEXITSTATUS(status) == 3)
        qFatal("the child cannot become an ordinary user");
    return WEXITSTATUS(status) == 0;
}

bool writeAsOrdinaryUser(const QString &path, const QByteArray &bytes)
{
    return asOrdinaryUser([&] { return SettingsFile(path).write(bytes); });
}

// Hands a file or folder made by the test to the ordinary user that
// asOrdinaryUser() becomes.
void giveToOrdinaryUser(const QString &path)
{
    if (geteuid() == 0 && chown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0)
        qFatal("cannot hand %s over", qPrintable(path));
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void livesBesideTheProgramWhereItCan();
    void movesToTheConfigDirectoryOfAnInstalledCopy();
    void writeReplacesTheWholeFile();
    void failedWriteLeavesThePreviousFileWhole_data();
    void failedWriteLeavesThePreviousFileWhole();
    void readOnlyFileOrFolderStaysWhole_data();
    void readOnlyFileOrFolderStaysWhole();
    void readOfAMissingFileIsEmpty();
    void killedWriterLeavesOldOrNewFile();
};

void TestSettingsFile::livesBesideTheProgramWhereItCan()
{
    QTemporaryDir program, config;
    QCOMPARE(SettingsFile::locate(program.path(), config.path()),
             program.filePath(QStringLiteral("talvorin.ini")));

    // A directory that already holds the file keeps it, writable or not.
    QFile(program.filePath(QStringLiteral("talvorin.ini"))).open(QIODevice::WriteOnly);
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::ExeOwner);
    QCOMPARE(SettingsFile::locate(program.path(), config.path()),
             program.filePath(QStringLiteral("talvorin.ini")));
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A copy installed with the system keeps its settings with the user.
    QCOMPARE(SettingsFile::locate(program.path(), config.path(), true),
             config.filePath(QStringLiteral("talvorin.ini")));
}

void TestSettingsFile::movesToTheConfigDirectoryOfAnInstalledCopy()
{
    QTemporaryDir program, config;
    const auto readable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(program.path(), readable));
    giveToOrdinaryUser(config.path());
    const QString configDir = config.filePath(QStringLiteral("sub"));
    const bool movedToConfig = asOrdinaryUser([&] {
        return SettingsFile::locate(program.path(), configDir)
                == configDir + QStringLiteral("/talvorin.ini");
    });
    QFile::setPermissions(program.path(), readable | QFile::WriteOwner);
    QVERIFY(movedToConfig);
}

void TestSettingsFile::writeReplacesTheWholeFile()
{
    QTemporaryDir dir;
    // The user's configuration directory may not exist yet.
    const QString path = dir.filePath(QStringLiteral("not/yet/talvorin.ini"));
    SettingsFile file(path);
    QVERIFY(file.write("[ontop]=True\r\n[width]=7200\r\n"));
    QVERIFY(file.write("[ontop]=False\r\n"));
    QCOMPARE(file.read(), QByteArray("[ontop]=False\r\n"));
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files),
             QStringList { QStringLiteral("talvorin.ini") });
}

void TestSettingsFile::failedWriteLeavesThePreviousFileWhole_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("disk full mid-write") << "full";
    QTest::newRow("path is a directory") << "directory";
}

void TestSettingsFile::failedWriteLeavesThePreviousFileWhole()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("talvorin.ini"));
    const QByteArray previous = "[badgelink]=http://example.com/badge\r\n[ontop]=True\r\n";
    QString error;
    bool written = true;
    if (fault == QLatin1String("full")) {
        QVERIFY(SettingsFile(path).write(previous));
        const QByteArray larger = previous + QByteArray(4096, 'x');
        FileSizeLimit limit(1024);
        written = SettingsFile(path).write(larger, &error);
    } else {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("talvorin.ini")));
        written = SettingsFile(path).write(previous, &error);
    }
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    if (fault == QLatin1String("full")) {
        QCOMPARE(contents(path), previous);
        // No half-written temporary is left behind either.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList { QStringLiteral("talvorin.ini") });
    } else {
        QVERIFY(QFileInfo(path).isDir());
    }
}

void TestSettingsFile::readOnlyFileOrFolderStaysWhole_data()
{
    QTest::addColumn<bool>("folderReadOnly");
    QTest::newRow("read-only file") << false;
    QTest::newRow("read-only folder") << true;
}

void TestSettingsFile::readOnlyFileOrFolderStaysWhole()
{
    QFETCH(bool, folderReadOnly);
    QTemporaryDir dir;
    // The ordinary user must reach the folder inside.
    QVERIFY(QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          | QFile::ReadOther | QFile::ExeOther));
    const QString folder = dir.filePath(QStringLiteral("program"));
    const QString path = folder + QStringLiteral("/talvorin.ini");
    const QByteArray previous = "[badgelink]=http://example.com/badge\r\n[ontop]=True\r\n";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(SettingsFile(path).write(previous));
    giveToOrdinaryUser(folder);
    giveToOrdinaryUser(path);
    // Before the permissions change the same writer succeeds, so the failure
    // below is the read-only part and nothing else.
    if (!writeAsOrdinaryUser(path, previous))
        QSKIP("an ordinary user cannot reach the temporary folder here");
    const auto readOnly = QFile::ReadOwner | QFile::ReadOther;
    const auto exe = QFile::ExeOwner | QFile::ExeOther;
    QVERIFY(folderReadOnly ? QFile::setPermissions(folder, readOnly | exe)
                           : QFile::setPermissions(path, readOnly));

    QVERIFY(!writeAsOrdinaryUser(path, "[badgelink]=http://example.com/other\r\n"));
    QCOMPARE(contents(path), previous);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList { QStringLiteral("talvorin.ini") });
    QFile::setPermissions(folder, readOnly | exe | QFile::WriteOwner);
}

void TestSettingsFile::readOfAMissingFileIsEmpty()
{
    QTemporaryDir dir;
    QVERIFY(SettingsFile(dir.filePath(QStringLiteral("talvorin.ini"))).read().isEmpty());
}

void TestSettingsFile::killedWriterLeavesOldOrNewFile()
{
    // Two states a writer saves in turn, large enough that a write takes a while.
    const QByteArray a = "[badgelink]=a\r\n" + QByteArray(2 << 20, 'a');
    const QByteArray b = "[badgelink]=b\r\n" + QByteArray(3 << 20, 'b');
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("talvorin.ini"));
    QVERIFY(SettingsFile(path).write(a));
    QRandomGenerator random(7);
    for (int round = 0; round < 12; ++round) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     { QStringLiteral("--write-loop"), path });
        QVERIFY(writer.waitForStarted());
        QTest::qWait(50 + int(random.bounded(150)));
        writer.kill(); // SIGKILL, wherever the writer is
        QVERIFY(writer.waitForFinished());
        const QByteArray now = contents(path);
        QVERIFY2(now == a || now == b,
                 qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(now.size())));
    }
}

// With --write-loop PATH the program saves two states in turn until killed.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--write-loop") == 0) {
        const SettingsFile file(QString::fromLocal8Bit(argv[2]));
        const QByteArray a = "[badgelink]=a\r\n" + QByteArray(2 << 20, 'a');
        const QByteArray b = "[badgelink]=b\r\n" + QByteArray(3 << 20, 'b');
        for (;;) {
            file.write(b);
            file.write(a);
        }
    }
    TestSettingsFile test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settingsfile.moc"

#include "settings/conversions.h"
#include "settings/settingsfile.h"
#include "settings/settingsformat.h"
#include "support/datatable.h"

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

const QString kLinkNames[] = { "badge=", "start=", "close=" };

// Records what the reader did, in order: "badge=x|ontop|width=7200".
class FakeTarget : public SettingsTarget {
public:
    QStringList calls;
    void setLink(Link which, const QString &value) override { calls << kLinkNames[int(which)] + value; }
    void toggleAlwaysOnTop() override { calls << "ontop"; }
    void toggleShowInTaskbar() override { calls << "taskbar"; }
    void setStartWithWindowsChecked(bool on) override { calls << "startwin=" + number(on); }
    void setOuterHeight(double twips) override { calls << "height=" + number(twips); }
    void setOuterWidth(double twips) override { calls << "width=" + number(twips); }
    void setAwayWhenIdle(bool on) override { calls << "away=" + number(on); }
    static QString number(double value) { return QString::number(value, 'g', 17); }
};

// The many small cases of one rule: an input and what it gives, in UTF-8.
void table(std::initializer_list<std::pair<QByteArray, QByteArray>> rows)
{
    const auto row = dataTable<QByteArray, QString>("input", "expected");
    for (const auto &[input, expected] : rows) {
        // Control characters and other bytes as %XX, so a row name stays readable.
        const QByteArray name = input.left(50).toPercentEncoding(" []=&+!,:/?");
        row(name.isEmpty() ? "(empty)" : name.constData(), input, QString::fromUtf8(expected));
    }
}

// Compares what `actual` gives for the row's input with what the row expects.
template<typename Input = QByteArray, typename Expected = QString, typename Actual>
void compareRow(Actual actual)
{
    QFETCH(Input, input);
    QFETCH(Expected, expected);
    QCOMPARE(actual(input), expected);
}

// What the reader does with a file's bytes, as one text.
QString calls(const QByteArray &input)
{
    FakeTarget target;
    applySettingsFile(input, target);
    return target.calls.join('|');
}

// The number as read, then the Boolean or "none".
QString conversions(const QByteArray &text)
{
    const std::optional<bool> value = parseBoolean(QString::fromLatin1(text));
    return FakeTarget::number(parseLeadingNumber(QString::fromLatin1(text))) + ' '
            + (value ? (*value ? "True" : "False") : "none");
}

const QByteArray kSixLines = "[badgelink]=BADGE-LINK\r\n[linkstart]=START-LINK\r\n[linkclose]=\r\n"
                             "[ontop]=True\r\n[taskbar]=False\r\n[startwin]=True\r\n";
const QByteArray kEightLines = kSixLines + "[height]=8835\r\n[width]=6330\r\n";

// Runs `work` in a forked child, as an ordinary user (uid 65534) where the test
// runs as root, who writes through any permission; true if it answered true.
bool asOrdinaryUser(const std::function<bool()> &work)
{
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = geteuid() != 0 || !(setgroups(0, nullptr) || setgid(65534) || setuid(65534));
        _exit(!dropped ? 2 : work() ? 0 : 1);
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

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    // Numbers are read leniently; Booleans are "True" or "False" in any case, or
    // a whole number text. Expected: the number, then the Boolean or "none".
    void conversions_data()
    {
        // A megabyte of digits must neither hang nor wrap around.
        const QByteArray nines(1 << 20, '9'), zeros(1 << 20, '0');
        // clang-format off
        table({ { "True", "0 True" }, { "tRuE", "0 True" }, { "  True  ", "0 True" }, { "fALSE", "0 False" },
                { "\tTrue", "0 none" }, { "True\r", "0 none" }, { "Truee", "0 none" }, { "yes", "0 none" },
                { "", "0 none" }, { " ", "0 none" }, { "0", "0 False" }, { "-1", "-1 True" }, { "0.0", "0 False" },
                { "2.5", "2.5 True" }, { ".5", "0.5 True" }, { "5.", "5 True" }, { "+3", "3 True" },
                { "0e5", "0 False" }, { "1E-2", "0.01 True" }, { "\t1\t", "1 True" }, { " 0 ", "0 False" },
                { "007", "7 True" }, { "&H0", "0 False" }, { "&H1F", "31 True" }, { "&hff", "255 True" },
                { "&O17", "15 True" }, { "&o0", "0 False" }, { " &H 1F", "31 none" }, { "&O78", "7 none" },
                { "&O9", "0 none" }, { "&H1G", "1 none" }, { "&H", "0 none" }, { "&X1", "0 none" },
                { "&17", "0 none" }, { "-&H1", "0 none" }, { "7200px", "7200 none" }, { "12 34", "1234 none" },
                { "1\t2\n3", "123 none" }, { "7200\r", "7200 none" }, { "\r7200", "0 none" }, { "- 5", "-5 none" },
                { "-.25", "-0.25 True" }, { "1.2.3", "1.2 none" }, { "-", "0 none" }, { ".", "0 none" },
                { "1e3", "1000 True" }, { "1E+2", "100 True" }, { "25e-1", "2.5 True" }, { "2e", "2 none" },
                { "2e+", "2 none" }, { "1 e 2", "100 none" }, { "1,5", "1 none" },
                { "123456789012345678901234567890", "1.2345678901234568e+29 True" }, { nines, "inf True" },
                { "&H" + nines, "inf True" }, { "1e" + nines, "inf True" }, { "1." + zeros + "1", "1 True" },
                { "0." + zeros + "1", "0 False" } });
        // clang-format on
    }
    void conversions() { compareRow(::conversions); }

    // A size as text: whole numbers plainly, others to seven digits.
    void sizeText_data()
    {
        // clang-format off
        table({ { "8835", "8835" }, { "-0", "0" }, { "9999999", "9999999" }, { "6330.5", "6330.5" },
                { "8835.123", "8835.123" }, { "1234.56789", "1234.568" }, { "0.25", "0.25" },
                { "-12.75", "-12.75" }, { "12345678.5", "1.234568E+07" }, { "1e7", "1E+07" },
                { "0.00001", "1E-05" }, { "3e38", "3E+38" }, { "inf", "0" }, { "-inf", "0" }, { "nan", "0" } });
        // clang-format on
    }
    void sizeText()
    {
        compareRow([](const QByteArray &value) { return formatSize(value.toFloat()); });
    }

    // A save: CR LF after every line, the size only for a window in the normal
    // state, no CR or LF inside a link.
    void write_data()
    {
        const auto row = dataTable<SettingsState, QByteArray>("input", "expected");
        // clang-format off
        SettingsState state { "BADGE-LINK", "START-LINK", "", true, false, true, true, 8835, 6330 };
        row("normal window", state, kEightLines);
        state.hasSize = false;
        row("minimized or maximized", state, kSixLines);
        // Away when idle: one more line, last, only while it is on.
        state.awayWhenIdle = true;
        row("away when idle", state, kSixLines + "[away]=True\r\n");
        state = { "a\r\n[ontop]=True\rb\nc", "s\r", "\n\u00e9", false, true, false, true, 100.25f, 1234.56789f };
        row("links with line breaks", state, "[badgelink]=a[ontop]=Truebc\r\n[linkstart]=s\r\n[linkclose]=\xC3\xA9\r\n"
            "[ontop]=False\r\n[taskbar]=True\r\n[startwin]=False\r\n[height]=100.25\r\n[width]=1234.568\r\n");
        // clang-format on
    }
    void write() { compareRow<SettingsState, QByteArray>(formatSettings); }

    // A file: blanks trimmed at both ends, then one CR LF, CR and LF cut from
    // the end in this order; split at CR LF only, empty lines skipped.
    void readFile_data()
    {
        // clang-format off
        table({ { "", "" }, { "   ", "" }, { "\r\n", "" }, { "\r\n\r\n[ontop]=True\r\n\r\n[ontop]=1", "ontop|ontop" },
                { "[badgelink]=a\r\n[width]=7200\r\n[badgelink]=b", "badge=a|width=7200|badge=b" },
                { "  [badgelink]= a  ", "badge= a" }, { "[badgelink]=a  \r\n  [linkstart]=b", "badge=a  |start=  b" },
                { "\t[badgelink]=a\t", "badge=\ta\t" }, { "[badgelink]=a\r[ontop]=True", "badge=a\r[ontop]=True" },
                { "[startwin]=True\r\r\n[ontop]=True", "ontop" },
                { "[ontop]=True\n[badgelink]=a\n[width]=7200\n", "badge=[ontop]=True\na\n[width]=7200" },
                { "[badgelink]=a\r", "badge=a" }, { "[badgelink]=a\n", "badge=a" }, { "[badgelink]=a\n\r\n", "badge=a" },
                { "[badgelink]=a\r\n\r\n", "badge=a\r" }, { "[badgelink]=a\r\r", "badge=a\r" },
                { "[badgelink]=a\n\n", "badge=a\n" }, { "[badgelink]=a\r\n   ", "badge=a" },
                { "[badgelink]=a \r\n", "badge=a " },
                { kEightLines, "badge=BADGE-LINK|start=START-LINK|close=|ontop|startwin=1|height=8835|width=6330" },
                // Bytes are text in the narrow code page, UTF-8 here; only a byte order
                // mark at the very start is dropped, and blanks after it.
                { "\xEF\xBB\xBF  [badgelink]=a", "badge=a" },
                { "[ontop]=1\r\n\xEF\xBB\xBF[badgelink]=a", "ontop|badge=\xEF\xBB\xBF"
                                                          "a" },
                { "[badgelink]=\xC3\xA9\xFF\r\n[linkstart]=\xC3", "badge=\xC3\xA9\xEF\xBF\xBD|start=\xEF\xBF\xBD" },
                { QByteArray("[badgelink]=a\0b", 15), QByteArray("badge=a\0b", 9) },
                // Many lines: reading stays linear.
                { QByteArray("[ontop]=0\r\n[width]=7200\r\n").repeated(100000),
                  QString("width=7200|").repeated(100000).chopped(1).toUtf8() },
                // The first tag of the fixed order found anywhere in a line decides
                // it (each row a file of one line, or two where blanks end the first).
                { "x[linkstart]=y", "start=xy" }, { "[linkclose]=a[badgelink]=b", "badge=[linkclose]=ab" },
                { "[BadgeLink]=x", "" }, { "badgelink=x", "" }, { "[linkclose]=", "close=" },
                { "[linkstart]= a\t\r\n[ontop]=1", "start= a\t|ontop" }, { "[height]=900[ontop]=1", "" },
                { "[width]=7200[height]=300", "" }, { "[ontop]=True", "ontop" }, { "[ontop]=False", "" },
                { "[ontop]=maybe", "" }, { "[taskbar]=-1", "taskbar" }, { "[taskbar]=0", "" },
                { "[startwin]=TRUE", "startwin=1" }, { "[startwin]= false \r\n[ontop]=1", "startwin=0|ontop" },
                { "[startwin]=yes", "" }, { "[away]=True", "away=1" },
                { "[away]=0", "away=0" }, { "[away]=1x", "" }, { "[away]=True[badgelink]=b", "badge=[away]=Trueb" },
                // Every occurrence of the deciding tag is cut out, in one pass from the left.
                { "[badgelink]=p[badgelink]=q", "badge=pq" }, { "[badgelink]=[badgelink]=x", "badge=x" },
                { "[badge[badgelink]=link]=v", "badge=[badgelink]=v" }, { "[width]=7[width]=200", "width=7200" },
                // A size above 100 twips only, compared and applied in single precision.
                { "[width]=100", "" }, { "[width]=100.000001", "" }, { "[width]=100.5", "width=100.5" },
                { "[width]=100.1", "width=100.09999847412109" }, { "[height]=101", "height=101" },
                { "[width]= 7200", "width=7200" }, { "[width]=7200px", "width=7200" },
                { "[width]=&H1F40", "width=8000" }, { "[width]=-7200", "" }, { "[width]=x", "" },
                { "[height]=1e300", "height=inf" } });
        // clang-format on
    }
    void readFile() { compareRow(calls); }

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
    void save_data()
    {
        const auto row = dataTable<QString, QByteArray>("fault", "previous");
        const QByteArray small = "[badgelink]=old\r\n";
        row("new folder", "", {});
        row("longer file", "", small + QByteArray(8192, 'x'));
        row("read-only file", "file", small);
        row("read-only folder", "folder", small);
        row("disk full", "full", small);
    }
    void save()
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
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList { "talvorin.ini" });
        setMode(folder, 0700);
    }
};

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"

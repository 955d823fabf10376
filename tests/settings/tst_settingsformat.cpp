#include "settings/conversions.h"
#include "settings/settingsformat.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

// Records every call in order, so a test sees both what was set and how often.
class FakeTarget : public SettingsTarget {
public:
    QStringList calls;
    qsizetype count = 0;
    bool keep = true; // off for texts too large to keep a record of

    void setLink(Link which, const QString &value) override
    {
        static const char *const names[] = { "badge=", "start=", "close=" };
        record(QLatin1String(names[int(which)]) + value);
    }
    void toggleAlwaysOnTop() override { record(QStringLiteral("ontop")); }
    void toggleShowInTaskbar() override { record(QStringLiteral("taskbar")); }
    void setStartWithWindowsChecked(bool on) override
    {
        record(on ? "startwin=true" : "startwin=false");
    }
    void setOuterHeight(double twips) override { record("height=" + number(twips)); }
    void setOuterWidth(double twips) override { record("width=" + number(twips)); }

private:
    void record(const QString &call)
    {
        ++count;
        if (keep)
            calls << call;
    }
};

SettingsState workedExample(bool hasSize)
{
    return SettingsState { "BADGE-LINK", "START-LINK", "", true, false, true, hasSize, 8835, 6330 };
}

const QByteArray kSixLines = "[badgelink]=BADGE-LINK\r\n[linkstart]=START-LINK\r\n[linkclose]=\r\n"
                             "[ontop]=True\r\n[taskbar]=False\r\n[startwin]=True\r\n";
const QByteArray kEightLines = kSixLines + "[height]=8835\r\n[width]=6330\r\n";

const QStringList kSixLineCalls = { "badge=BADGE-LINK", "start=START-LINK", "close=", "ontop",
                                    "startwin=true" };
const QStringList kEightLineCalls = kSixLineCalls + QStringList { "height=8835", "width=6330" };

// Row names with control characters spelled out, so the log stays one line a row.
QByteArray visible(const char *text)
{
    QByteArray name(text);
    name.replace('\r', "\\r").replace('\n', "\\n").replace('\t', "\\t");
    return name.isEmpty() ? QByteArray("(empty)") : name;
}

// Byte literals may hold NUL, so their length comes from the array.
template<std::size_t N> QByteArray bytesOf(const char (&literal)[N])
{
    return QByteArray(literal, qsizetype(N - 1));
}

QStringList applied(const QString &text)
{
    FakeTarget target;
    applySettingsText(text, target);
    return target.calls;
}

// The file's bytes as the program reads them, a line at a time.
QStringList appliedFile(const QByteArray &bytes)
{
    FakeTarget target;
    applySettingsFile(bytes, target);
    return target.calls;
}

} // namespace

class TestSettingsFormat : public QObject {
    Q_OBJECT

private slots:
    void workedExample_data()
    {
        QTest::addColumn<bool>("hasSize");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("normal window") << true << kEightLines << kEightLineCalls;
        QTest::newRow("no size") << false << kSixLines << kSixLineCalls;
    }
    void workedExample()
    {
        QFETCH(bool, hasSize);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, calls);
        QCOMPARE(formatSettings(::workedExample(hasSize)), bytes);
        QCOMPARE(appliedFile(bytes), calls);
    }

    // One line at a time: which tag decides and what its value becomes.
    void applyLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("tag inside") << "x[linkstart]=y" << QStringList { "start=xy" };
        QTest::newRow("order beats position")
                << "[linkclose]=a[badgelink]=b" << QStringList { "badge=[linkclose]=ab" };
        QTest::newRow("every occurrence cut")
                << "[badgelink]=p[badgelink]=q" << QStringList { "badge=pq" };
        QTest::newRow("adjacent occurrences")
                << "[badgelink]=[badgelink]=x" << QStringList { "badge=x" };
        QTest::newRow("cut in one pass")
                << "[badge[badgelink]=link]=v" << QStringList { "badge=[badgelink]=v" };
        QTest::newRow("case sensitive") << "[BadgeLink]=x" << QStringList {};
        QTest::newRow("no tag") << "badgelink=x" << QStringList {};
        QTest::newRow("empty link") << "[linkclose]=" << QStringList { "close=" };
        QTest::newRow("blanks kept") << "[linkstart]= a\t" << QStringList { "start= a\t" };
        QTest::newRow("ontop True") << "[ontop]=True" << QStringList { "ontop" };
        QTest::newRow("ontop False") << "[ontop]=False" << QStringList {};
        QTest::newRow("ontop garbage") << "[ontop]=maybe" << QStringList {};
        QTest::newRow("ontop number") << "[ontop]=-1" << QStringList { "ontop" };
        QTest::newRow("taskbar true") << "[taskbar]=true" << QStringList { "taskbar" };
        QTest::newRow("taskbar 0") << "[taskbar]=0" << QStringList {};
        QTest::newRow("ontop before height") << "[height]=900[ontop]=1" << QStringList {};
        QTest::newRow("startwin 1") << "[startwin]=1" << QStringList { "startwin=true" };
        QTest::newRow("startwin TRUE") << "[startwin]=TRUE" << QStringList { "startwin=true" };
        QTest::newRow("startwin false") << "[startwin]= false " << QStringList { "startwin=false" };
        QTest::newRow("startwin 0.0") << "[startwin]=0.0" << QStringList { "startwin=false" };
        QTest::newRow("startwin yes") << "[startwin]=yes" << QStringList {};
        QTest::newRow("startwin empty") << "[startwin]=" << QStringList {};
        QTest::newRow("startwin trailing CR") << "[startwin]=True\r" << QStringList {};
        QTest::newRow("width 100") << "[width]=100" << QStringList {};
        QTest::newRow("width 100.5") << "[width]=100.5" << QStringList { "width=100.5" };
        QTest::newRow("width single precision")
                << "[width]=100.1" << QStringList { "width=" + number(100.1f) };
        QTest::newRow("width blank") << "[width]= 7200" << QStringList { "width=7200" };
        QTest::newRow("width px") << "[width]=7200px" << QStringList { "width=7200" };
        QTest::newRow("width CR") << "[width]=7200\r" << QStringList { "width=7200" };
        QTest::newRow("width hex") << "[width]=&H1F40" << QStringList { "width=8000" };
        QTest::newRow("width negative") << "[width]=-7200" << QStringList {};
        QTest::newRow("height 101") << "[height]=101" << QStringList { "height=101" };
        QTest::newRow("height before width") << "[width]=7200[height]=300" << QStringList {};
        QTest::newRow("height overflow")
                << "[height]=1e300" << QStringList { "height=" + number(qInf()) };
    }
    void applyLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, calls);
        FakeTarget target;
        applySettingLine(line, target);
        QCOMPARE(target.calls, calls);
    }

    // Whole texts: trimming, the line-end tail, splitting and empty lines.
    void applyText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("empty") << "" << QStringList {};
        QTest::newRow("only blanks") << "   " << QStringList {};
        QTest::newRow("only CR LF") << "\r\n" << QStringList {};
        QTest::newRow("empty lines skipped")
                << "\r\n\r\n[ontop]=True\r\n\r\n[taskbar]=1" << QStringList { "ontop", "taskbar" };
        QTest::newRow("toggles twice")
                << "[ontop]=True\r\n[ontop]=True" << QStringList { "ontop", "ontop" };
        QTest::newRow("repeated link, last wins")
                << "[badgelink]=a\r\n[linkstart]=s\r\n[badgelink]=b"
                << QStringList { "badge=a", "start=s", "badge=b" };
        QTest::newRow("any order")
                << "[width]=7200\r\n[badgelink]=a" << QStringList { "width=7200", "badge=a" };
        QTest::newRow("spaces trimmed at the ends")
                << "  [badgelink]= a  " << QStringList { "badge= a" };
        QTest::newRow("spaces inside kept")
                << "[badgelink]=a  \r\n  [linkstart]=b" << QStringList { "badge=a  ", "start=  b" };
        QTest::newRow("tabs not trimmed") << "\t[badgelink]=a\t" << QStringList { "badge=\ta\t" };
        QTest::newRow("lone CR does not split")
                << "[badgelink]=a\r[ontop]=True" << QStringList { "badge=a\r[ontop]=True" };
        QTest::newRow("CR before CR LF stays")
                << "[startwin]=True\r\r\n[ontop]=True" << QStringList { "ontop" };
        QTest::newRow("LF-only file is one line")
                << "[ontop]=True\n[badgelink]=a\n[width]=7200\n"
                << QStringList { "badge=[ontop]=True\na\n[width]=7200" };
        QTest::newRow("LF-only, ontop decides") << "[ontop]=True\n[width]=7200\n" << QStringList {};
        QTest::newRow("tail CR LF") << "[badgelink]=a\r\n" << QStringList { "badge=a" };
        QTest::newRow("tail CR") << "[badgelink]=a\r" << QStringList { "badge=a" };
        QTest::newRow("tail LF") << "[badgelink]=a\n" << QStringList { "badge=a" };
        QTest::newRow("tail LF CR LF") << "[badgelink]=a\n\r\n" << QStringList { "badge=a" };
        QTest::newRow("tail CR LF CR LF") << "[badgelink]=a\r\n\r\n" << QStringList { "badge=a\r" };
        QTest::newRow("tail CR CR") << "[badgelink]=a\r\r" << QStringList { "badge=a\r" };
        QTest::newRow("tail LF LF") << "[badgelink]=a\n\n" << QStringList { "badge=a\n" };
        QTest::newRow("tail after blanks") << "[badgelink]=a\r\n   " << QStringList { "badge=a" };
        QTest::newRow("blanks before tail kept") << "[badgelink]=a \r\n"
                                                 << QStringList { "badge=a " };
        // An extra CR LF leaves a CR on the last line: a Boolean no longer reads,
        // a size still does.
        QTest::newRow("six lines + CR LF")
                << QString::fromLatin1(kSixLines + "\r\n") << kSixLineCalls.mid(0, 4);
        QTest::newRow("eight lines + CR LF")
                << QString::fromLatin1(kEightLines + "\r\n") << kEightLineCalls;
        QTest::newRow("no final line end")
                << QString::fromLatin1(kEightLines.chopped(2)) << kEightLineCalls;
    }
    void applyText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, calls);
        QCOMPARE(applied(text), calls);
    }

    void parseBoolean_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: no Boolean
        const struct {
            const char *text;
            int expected;
        } rows[] = {
            { "True", 1 },  { "true", 1 },    { "TRUE", 1 },    { "tRuE", 1 },   { "  True  ", 1 },
            { "False", 0 }, { "fALSE", 0 },   { " false", 0 },  { "0", 0 },      { "-1", 1 },
            { "1", 1 },     { "0.0", 0 },     { "-0", 0 },      { "2.5", 1 },    { ".5", 1 },
            { "5.", 1 },    { "+3", 1 },      { "1e3", 1 },     { "0e5", 0 },    { "1E-2", 1 },
            { "&H0", 0 },   { "&H1F", 1 },    { "&hff", 1 },    { "&O7", 1 },    { "&o0", 0 },
            { "\t1\t", 1 }, { " 0 ", 0 },     { "yes", -1 },    { "", -1 },      { " ", -1 },
            { "1x", -1 },   { "True\r", -1 }, { "\tTrue", -1 }, { "Truee", -1 }, { ".", -1 },
            { "-", -1 },    { "1e", -1 },     { "1e+", -1 },    { "&H", -1 },    { "&O8", -1 },
            { "&H1G", -1 }, { "1.2.3", -1 },  { "1\r", -1 },    { "1 2", -1 },
        };
        for (const auto &row : rows)
            QTest::newRow(visible(row.text)) << QString::fromLatin1(row.text) << row.expected;
    }
    void parseBoolean()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<bool> result = ::parseBoolean(text);
        QCOMPARE(result.has_value() ? int(*result) : -1, expected);
    }

    void parseLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        const struct {
            const char *text;
            double expected;
        } rows[] = {
            { "7200", 7200 },
            { "7200px", 7200 },
            { " 7200", 7200 },
            { "12 34", 1234 },
            { "1\t2\n3", 123 },
            { "7200\r", 7200 },
            { "\r7200", 0 },
            { "-12.5", -12.5 },
            { "+8", 8 },
            { "- 5", -5 },
            { ".5", 0.5 },
            { "-.25", -0.25 },
            { "1.2.3", 1.2 },
            { "5.", 5 },
            { "-", 0 },
            { "", 0 },
            { "abc", 0 },
            { ".", 0 },
            { "1e3", 1000 },
            { "1E+2", 100 },
            { "25e-1", 2.5 },
            { "2e", 2 },
            { "2e+", 2 },
            { "2ex", 2 },
            { "1 e 2", 100 },
            { "1,5", 1 },
            { "0.1", 0.1 },
            { "007", 7 },
            { "&H1F", 31 },
            { "&Hff", 255 },
            { "&h10", 16 },
            { " &H 1F", 31 },
            { "&H", 0 },
            { "&HG", 0 },
            { "&O17", 15 },
            { "&o17", 15 },
            { "&O78", 7 },
            { "&O9", 0 },
            { "&X1", 0 },
            { "&17", 0 },
            { "-&H1", 0 },
            { "123456789012345678901234567890", 123456789012345678901234567890.0 },
        };
        for (const auto &row : rows)
            QTest::newRow(visible(row.text)) << QString::fromLatin1(row.text) << row.expected;
        // A megabyte of digits must neither hang nor wrap around.
        QTest::newRow("huge integer") << QString(1 << 20, u'9') << qInf();
        QTest::newRow("huge hex") << "&H" + QString(1 << 20, u'F') << qInf();
        QTest::newRow("tiny fraction") << "0." + QString(1 << 20, u'0') + "1" << 0.0;
        QTest::newRow("long mantissa") << "1." + QString(1 << 20, u'0') + "1" << 1.0;
        QTest::newRow("huge exponent") << "1e" + QString(1 << 20, u'9') << qInf();
    }
    void parseLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(::parseLeadingNumber(text), expected);
    }

    void formatSize_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("8835") << 8835.0f << "8835";
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("negative zero") << -0.0f << "0";
        QTest::newRow("whole below 1e7") << 9999999.0f << "9999999";
        QTest::newRow("100.5") << 100.5f << "100.5";
        QTest::newRow("6330.5") << 6330.5f << "6330.5";
        QTest::newRow("8835.123") << 8835.123f << "8835.123";
        QTest::newRow("rounds to 7 digits") << 1234.56789f << "1234.568";
        QTest::newRow("fraction") << 0.25f << "0.25";
        QTest::newRow("negative") << -12.75f << "-12.75";
        QTest::newRow("large") << 12345678.5f << "1.234568E+07";
        QTest::newRow("whole 1e7") << 1e7f << "1E+07";
        QTest::newRow("tiny") << 0.00001f << "1E-05";
        QTest::newRow("huge") << 3e38f << "3E+38";
        QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << "0";
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << "0";
    }
    void formatSize()
    {
        QFETCH(float, value);
        QFETCH(QString, expected);
        QCOMPARE(::formatSize(value), expected);
    }

    void linkLineBreaksNeverReachTheFile_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("badge") << int(Link::Badge);
        QTest::newRow("start") << int(Link::Start);
        QTest::newRow("close") << int(Link::Close);
    }
    void linkLineBreaksNeverReachTheFile()
    {
        QFETCH(int, which);
        SettingsState state = ::workedExample(true);
        state.alwaysOnTop = false;
        QString *links[] = { &state.badgeLink, &state.linkStart, &state.linkClose };
        *links[which] = QStringLiteral("a\r\n[ontop]=True\rb\nc");
        const QByteArray bytes = formatSettings(state);
        QCOMPARE(bytes.count("\r\n"), 8);
        QCOMPARE(bytes.count('\r'), 8);
        QCOMPARE(bytes.count('\n'), 8);
        QVERIFY(bytes.endsWith("[width]=6330\r\n"));

        QStringList expected = { "badge=BADGE-LINK", "start=START-LINK", "close=",
                                 "startwin=true",    "height=8835",      "width=6330" };
        const char *names[] = { "badge=", "start=", "close=" };
        expected[which] = QLatin1String(names[which]) + "a[ontop]=Truebc";
        QCOMPARE(appliedFile(bytes), expected);
    }

    void badInputDoesNotCrash_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray random(64 * 1024, '\0');
        QRandomGenerator generator(20240611);
        for (char &byte : random)
            byte = char(generator.bounded(256));
        QTest::newRow("random bytes") << random;
        QTest::newRow("NUL and invalid UTF-8")
                << bytesOf("\0[ontop]=\xff\xfeTrue\0\r\n[width]=\xc3\x28"
                           "7200\r\n\x80\x80");
        QTest::newRow("tags glued to binary")
                << bytesOf("\xff[badgelink]=\0\r\n\r[startwin]=\0\x01\r\n[height]=&H\xff");
        QTest::newRow("only separators") << QByteArray("\r\n\r\n\r\r\n\n\r\n  \r\n");
    }
    void badInputDoesNotCrash()
    {
        QFETCH(QByteArray, bytes);
        FakeTarget target;
        applySettingsFile(bytes, target);
        for (const QString &call : std::as_const(target.calls))
            QVERIFY2(!call.startsWith("ontop") && !call.startsWith("width"), qPrintable(call));
    }

    void hugeSingleLine()
    {
        const QString value(5 * 1024 * 1024, u'x');
        FakeTarget target;
        applySettingsText(QStringLiteral("[linkclose]=") + value, target);
        QCOMPARE(target.calls.size(), 1);
        QVERIFY(target.calls.first() == QStringLiteral("close=") + value);
    }

    void largeTextIsAppliedWhole()
    {
        const QByteArray block =
                "[badgelink]=https://example.invalid/badge?id=42\r\n[width]=7200\r\n"
                "[ontop]=False\r\n";
        const qsizetype repeats = (50 * 1024 * 1024) / block.size() + 1;
        FakeTarget target;
        target.keep = false;
        applySettingsFile(block.repeated(repeats), target);
        QCOMPARE(target.count, 2 * repeats);
    }
};

QTEST_APPLESS_MAIN(TestSettingsFormat)
#include "tst_settingsformat.moc"

// Times the settings reader on inputs far larger than any real talvorin.ini,
// to show that reading stays linear: SettingsFile::read + applySettingsFile on
//  - a 50 MiB file of valid eight-line blocks,
//  - a 50 MiB single line: one link with a '[' every few characters, the worst
//    case for the tag search,
//  - a 50 MiB single line of digits after "[width]=", the worst case for the
//    number reader.
// Each is run five times and the median printed in milliseconds. Built as the
// program is; not a test, since timings on a shared machine make poor
// pass/fail criteria.

#include "settings/settingsfile.h"
#include "settings/settingsformat.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

// Counts calls and keeps the last values, so nothing can be optimised away.
class CountingTarget : public SettingsTarget {
public:
    long long calls = 0;
    qsizetype lastLinkSize = 0;
    double lastSize = 0;

    void setLink(Link, const QString &value) override { ++calls, lastLinkSize = value.size(); }
    void toggleAlwaysOnTop() override { ++calls; }
    void toggleShowInTaskbar() override { ++calls; }
    void setStartWithWindowsChecked(bool) override { ++calls; }
    void setOuterHeight(double twips) override { ++calls, lastSize = twips; }
    void setOuterWidth(double twips) override { ++calls, lastSize = twips; }
};

constexpr qsizetype kSize = 50 * 1024 * 1024;

QByteArray validText()
{
    QByteArray text;
    text.reserve(kSize + 512);
    for (int block = 0; text.size() < kSize; ++block) {
        const QByteArray n = QByteArray::number(block);
        text += "[badgelink]=https://badges.example.invalid/badge?id=" + n + "\r\n";
        text += "[linkstart]=https://example.invalid/start/" + n + "\r\n";
        text += "[linkclose]=https://example.invalid/close/" + n + "\r\n";
        text += "[ontop]=True\r\n[taskbar]=False\r\n[startwin]=True\r\n";
        text += "[height]=" + QByteArray::number(8835 + block % 100) + "\r\n";
        text += "[width]=6330.5\r\n";
    }
    return text;
}

QByteArray bracketLine()
{
    QByteArray text = "[badgelink]=";
    // Near-misses of real tags: each '[' costs the full comparison.
    const QByteArray piece = "a[badgelinx[linkclos[w";
    while (text.size() < kSize)
        text += piece;
    return text;
}

QByteArray digitLine()
{
    QByteArray text = "[width]=";
    text += QByteArray(kSize - text.size(), '7');
    return text;
}

struct Timing {
    double read = 0;
    double apply = 0;
    long long calls = 0;
};

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// As the program starts: the file read whole, then applied. Medians of five
// runs, in milliseconds.
Timing measure(const QByteArray &bytes)
{
    QTemporaryDir dir;
    const SettingsFile file(dir.filePath(QStringLiteral("talvorin.ini")));
    if (!file.write(bytes))
        qFatal("cannot write the input");
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    std::vector<double> read, apply;
    Timing timing;
    for (int run = 0; run < 5; ++run) {
        CountingTarget target;
        const auto start = Clock::now();
        const QByteArray stored = file.read();
        const auto readDone = Clock::now();
        applySettingsFile(stored, target);
        const auto end = Clock::now();
        read.push_back(ms(readDone - start));
        apply.push_back(ms(end - readDone));
        timing.calls = target.calls;
    }
    timing.read = median(read);
    timing.apply = median(apply);
    return timing;
}

void report(const char *name, const QByteArray &bytes)
{
    const Timing t = measure(bytes);
    std::printf("%-26s %6.1f MiB %8lld calls  read %7.1f ms  apply %7.1f ms (medians of 5)\n", name,
                double(bytes.size()) / (1024 * 1024), t.calls, t.read, t.apply);
}

} // namespace

int main()
{
    report("valid eight-line blocks", validText());
    report("single line, '[' dense", bracketLine());
    report("single line, digits", digitLine());
    return 0;
}

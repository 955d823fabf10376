#include "settings/settingsformat.h"

#include "settings/conversions.h"

#include <QByteArrayView>
#include <QStringView>

#include <cstring>
#include <limits>

namespace {

// The order matters: when a line holds several tags, the first of this list
// that occurs decides what the line sets.
enum TagIndex {
    BadgeTag,
    StartTag,
    CloseTag,
    OnTopTag,
    TaskbarTag,
    StartWinTag,
    HeightTag,
    WidthTag,
    AwayTag,
    TagCount
};

constexpr QStringView kTags[TagCount] = {
    u"[badgelink]=", u"[linkstart]=", u"[linkclose]=", u"[ontop]=",
    u"[taskbar]=",   u"[startwin]=",  u"[height]=",    u"[width]=",
    u"[away]=",
};

// A stored size is applied only when it is larger than this many twips.
constexpr double kMinimumSize = 100;

constexpr QStringView kLineEnd = u"\r\n";

// Which tag, if any, starts at p (where p[0] is '['). The second letter picks
// the only candidate, so a '[' costs one full comparison at most.
int tagAt(const char16_t *p, qsizetype available)
{
    if (available < 2)
        return -1;
    int tag = -1;
    switch (p[1]) {
    case u'b':
        tag = BadgeTag;
        break;
    case u'l':
        tag = available > 5 && p[5] == u'c' ? CloseTag : StartTag;
        break;
    case u'o':
        tag = OnTopTag;
        break;
    case u't':
        tag = TaskbarTag;
        break;
    case u's':
        tag = StartWinTag;
        break;
    case u'h':
        tag = HeightTag;
        break;
    case u'w':
        tag = WidthTag;
        break;
    case u'a':
        tag = AwayTag;
        break;
    default:
        return -1;
    }
    const QStringView name = kTags[tag];
    if (available < name.size())
        return -1;
    for (qsizetype k = 2; k < name.size(); ++k) {
        if (p[k] != name[k].unicode())
            return -1;
    }
    return tag;
}

// One pass over the line however many tags are looked for.
int decidingTag(QStringView line)
{
    const char16_t *p = line.utf16();
    const qsizetype size = line.size();
    int best = TagCount;
    for (qsizetype i = 0; i < size && best != 0; ++i) {
        if (p[i] != u'[')
            continue;
        const int tag = tagAt(p + i, size - i);
        if (tag >= 0 && tag < best)
            best = tag;
    }
    return best == TagCount ? -1 : best;
}

// One left-to-right pass, so pieces that join into a tag after a cut stay.
// The line's own buffer is reused: what is kept only ever moves towards the
// front, behind the place being read.
QString withoutTag(QString line, int tag)
{
    char16_t *p = reinterpret_cast<char16_t *>(line.data());
    const qsizetype size = line.size();
    const qsizetype tagSize = kTags[tag].size();
    qsizetype kept = 0;
    qsizetype from = 0;
    auto keepUpTo = [&](qsizetype end) {
        if (kept != from)
            std::memmove(p + kept, p + from, std::size_t(end - from) * sizeof *p);
        kept += end - from;
    };
    for (qsizetype i = 0; i < size; ++i) {
        if (p[i] == u'[' && tagAt(p + i, size - i) == tag) {
            keepUpTo(i);
            from = i + tagSize;
            i = from - 1;
        }
    }
    keepUpTo(size);
    line.truncate(kept);
    return line;
}

// Sizes are kept in single precision. A value beyond its range becomes
// infinity explicitly rather than through an out-of-range conversion.
double toSinglePrecision(double twips)
{
    if (twips > std::numeric_limits<float>::max())
        return std::numeric_limits<double>::infinity();
    return static_cast<float>(twips);
}

void applyLine(QString line, SettingsTarget &target)
{
    const int tag = decidingTag(line);
    if (tag < 0)
        return;
    const QString value = withoutTag(std::move(line), tag);

    switch (tag) {
    case BadgeTag:
        target.setLink(Link::Badge, value);
        break;
    case StartTag:
        target.setLink(Link::Start, value);
        break;
    case CloseTag:
        target.setLink(Link::Close, value);
        break;
    case OnTopTag:
        // The file records the state, but replaying it clicks the toggle.
        if (parseBoolean(value).value_or(false))
            target.toggleAlwaysOnTop();
        break;
    case TaskbarTag:
        if (parseBoolean(value).value_or(false))
            target.toggleShowInTaskbar();
        break;
    case StartWinTag:
        if (const std::optional<bool> checked = parseBoolean(value))
            target.setStartWithWindowsChecked(*checked);
        break;
    case AwayTag:
        if (const std::optional<bool> on = parseBoolean(value))
            target.setAwayWhenIdle(*on);
        break;
    case HeightTag:
    case WidthTag: {
        // Compared as kept: 100.000001 is 100 in single precision.
        const double twips = toSinglePrecision(parseLeadingNumber(value));
        if (!(twips > kMinimumSize))
            break;
        if (tag == HeightTag)
            target.setOuterHeight(twips);
        else
            target.setOuterWidth(twips);
        break;
    }
    }
}

// Cuts a file's text, or its bytes, into lines as the format does: blanks
// trimmed from the end, one trailing CR LF / CR / LF removed, split at CR LF
// only. `line(from, to)` gets every line's range, empty ones too.
template<typename View, typename Line> void forEachLine(View rest, Line line)
{
    while (!rest.isEmpty() && rest.back() == ' ')
        rest.chop(1);
    // Each ending is looked at once, in this order: "a\r\n\r\n" becomes "a\r",
    // so a CR can be left on the last line.
    if (rest.size() >= 2 && rest[rest.size() - 2] == '\r' && rest.back() == '\n')
        rest.chop(2);
    if (rest.endsWith('\r'))
        rest.chop(1);
    if (rest.endsWith('\n'))
        rest.chop(1);
    if (rest.isEmpty())
        return;

    // A CR followed by anything but LF stays in the line.
    const auto *p = rest.data();
    const qsizetype size = rest.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i + 1 < size; ++i) {
        if (p[i] == '\r' && p[i + 1] == '\n') {
            line(from, i);
            from = i + 2;
            ++i;
        }
    }
    line(from, size);
}

QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

void applySettingLine(const QString &line, SettingsTarget &target)
{
    applyLine(line, target);
}

void applySettingsText(const QString &text, SettingsTarget &target)
{
    QStringView rest(text);
    while (!rest.isEmpty() && rest.front() == u' ')
        rest = rest.sliced(1);
    forEachLine(rest, [&](qsizetype from, qsizetype to) {
        if (to > from)
            applyLine(rest.sliced(from, to - from).toString(), target);
    });
}

void applySettingsFile(const QByteArray &bytes, SettingsTarget &target)
{
    const QByteArrayView rest(bytes);
    forEachLine(rest, [&](qsizetype from, qsizetype to) {
        QString line;
        if (from == 0) {
            // Only here can a byte order mark be dropped, and blanks are
            // trimmed from the start of the text, after the mark.
            line = decodeSettings(rest.sliced(0, to));
            qsizetype blanks = 0;
            while (blanks < line.size() && line[blanks] == u' ')
                ++blanks;
            line.remove(0, blanks);
        } else {
            // Decoded from the LF before it, so its first bytes are read
            // as within the text, as the whole text would read them.
            line = decodeSettings(rest.sliced(from - 1, to - from + 1));
            line.remove(0, 1);
        }
        if (!line.isEmpty())
            applyLine(std::move(line), target);
    });
}

void SettingsStateTarget::setLink(Link which, const QString &value)
{
    QString *links[] = { &state.badgeLink, &state.linkStart, &state.linkClose };
    *links[int(which)] = value;
}

void SettingsStateTarget::setOuterHeight(double twips)
{
    state.height = float(twips);
    state.hasSize = true;
}

void SettingsStateTarget::setOuterWidth(double twips)
{
    state.width = float(twips);
    state.hasSize = true;
}

QByteArray formatSettings(const SettingsState &state)
{
    QString text;
    auto appendLine = [&text](int tag, const QString &value) {
        text += kTags[tag];
        text += value;
        text += kLineEnd;
    };
    appendLine(BadgeTag, withoutLineBreaks(state.badgeLink));
    appendLine(StartTag, withoutLineBreaks(state.linkStart));
    appendLine(CloseTag, withoutLineBreaks(state.linkClose));
    appendLine(OnTopTag, booleanText(state.alwaysOnTop));
    appendLine(TaskbarTag, booleanText(state.showInTaskbar));
    appendLine(StartWinTag, booleanText(state.startWithWindows));
    if (state.hasSize) {
        appendLine(HeightTag, formatSize(state.height));
        appendLine(WidthTag, formatSize(state.width));
    }
    if (state.awayWhenIdle)
        appendLine(AwayTag, booleanText(true));
    return text.toLocal8Bit();
}

QString withoutLineBreaks(QString link)
{
    link.remove(u'\r');
    link.remove(u'\n');
    return link;
}

QString decodeSettings(QByteArrayView bytes)
{
    return QString::fromLocal8Bit(bytes);
}

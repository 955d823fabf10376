// libFuzzer target for the talvorin.ini reader and writer, run under ASan and
// UBSan.
//
// Every input is used four ways:
//  - decoded and applied as a whole file,
//  - decoded and applied as one line,
//  - cut into the fields of a SettingsState that is written and read back,
//  - fed to the number, Boolean and size conversions directly.
// The readings are compared with a deliberately naive reading of the same rules
// (QString searches and splits, no pointer walking), so the single-pass scanners
// in settingsformat.cpp cannot drift from what settingsformat.h promises
// without a trap here. Only what the rules guarantee is asserted: the format
// has no escaping, so for instance "[badge[badgelink]=link]=v" legitimately
// sets the badge link to "[badgelink]=v".

#include "settings/conversions.h"
#include "settings/settingsformat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void broken(const char *condition, int line)
{
    std::fprintf(stderr, "fuzz_settings.cpp:%d: invariant broken: %s\n", line, condition);
    std::fflush(stderr);
    __builtin_trap();
}

// Not assert(): the build defines NDEBUG, and these checks are the point.
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition))                                                                          \
            broken(#condition, __LINE__);                                                          \
    } while (0)

// Equal as values and in the sign of zero; NaN never gets this far.
bool same(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

// The tags in the order that decides a line holding several.
enum Tag {
    BadgeTag,
    StartTag,
    CloseTag,
    OnTopTag,
    TaskbarTag,
    StartWinTag,
    HeightTag,
    WidthTag,
    TagCount
};

const QString &tagText(int tag)
{
    static const QString tags[TagCount] = {
        QStringLiteral("[badgelink]="), QStringLiteral("[linkstart]="),
        QStringLiteral("[linkclose]="), QStringLiteral("[ontop]="),
        QStringLiteral("[taskbar]="),   QStringLiteral("[startwin]="),
        QStringLiteral("[height]="),    QStringLiteral("[width]="),
    };
    return tags[tag];
}

// One call the reader made on its target.
struct Call {
    enum Kind { SetLink, ToggleOnTop, ToggleTaskbar, SetStartWin, SetHeight, SetWidth };
    Kind kind;
    int link; // int(Link) for SetLink
    QString value; // the link for SetLink
    bool checked; // for SetStartWin
    double twips; // for SetHeight / SetWidth

    Call(Kind kind, int link = -1, QString value = {}, bool checked = false, double twips = 0)
        : kind(kind), link(link), value(std::move(value)), checked(checked), twips(twips)
    {
    }

    bool operator==(const Call &other) const
    {
        return kind == other.kind && link == other.link && value == other.value
                && checked == other.checked && same(twips, other.twips);
    }
    bool operator!=(const Call &other) const { return !(*this == other); }
};

using Calls = std::vector<Call>;

// What SettingsTarget promises about a size, checked on every call.
void checkSize(double twips)
{
    CHECK(!std::isnan(twips));
    // Sizes are single precision: a float's value, or +infinity beyond the range.
    CHECK(std::isinf(twips) || std::fabs(twips) <= double(FLT_MAX));
    CHECK(std::isinf(twips) || double(float(twips)) == twips);
    CHECK(twips > 100);
}

class RecordingTarget : public SettingsTarget {
public:
    Calls calls;

    void setLink(Link which, const QString &value) override
    {
        const int link = int(which);
        CHECK(link >= int(Link::Badge) && link <= int(Link::Close));
        calls.push_back({ Call::SetLink, link, value });
    }
    void toggleAlwaysOnTop() override { calls.push_back({ Call::ToggleOnTop }); }
    void toggleShowInTaskbar() override { calls.push_back({ Call::ToggleTaskbar }); }
    void setStartWithWindowsChecked(bool checked) override
    {
        calls.push_back({ Call::SetStartWin, -1, {}, checked });
    }
    void setOuterHeight(double twips) override
    {
        checkSize(twips);
        calls.push_back({ Call::SetHeight, -1, {}, false, twips });
    }
    void setOuterWidth(double twips) override
    {
        checkSize(twips);
        calls.push_back({ Call::SetWidth, -1, {}, false, twips });
    }
};

// --- The conversions, checked on every value the reader looks at ------------

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?, nothing else:
// the texts on which strtod and the lenient reader must agree exactly.
bool isPlainDecimal(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < n && isDigit(text[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

// "&H" + up to 13 hex digits or "&O" + up to 17 octal digits: exact in a
// double, so the value can be checked against strtoull.
std::optional<double> plainBasedNumber(const QString &text)
{
    if (text.size() < 3 || text[0] != u'&')
        return std::nullopt;
    const QChar marker = text[1];
    int base = 0;
    qsizetype maxDigits = 0;
    if (marker == u'H' || marker == u'h')
        base = 16, maxDigits = 13;
    else if (marker == u'O' || marker == u'o')
        base = 8, maxDigits = 17;
    else
        return std::nullopt;
    const QString digits = text.mid(2);
    if (digits.size() > maxDigits)
        return std::nullopt;
    for (const QChar c : digits) {
        const bool ok = base == 16
                ? (isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
                : (c >= u'0' && c <= u'7');
        if (!ok)
            return std::nullopt;
    }
    return double(std::strtoull(digits.toLatin1().constData(), nullptr, base));
}

void checkLeadingNumber(const QString &text)
{
    const double value = parseLeadingNumber(text);
    CHECK(!std::isnan(value));
    // Reading stops at the first character that cannot continue a number, and
    // blanks, tabs and LF in front are passed over.
    CHECK(same(value, parseLeadingNumber(text + u'x')));
    CHECK(same(value, parseLeadingNumber(QStringLiteral(" \t\n") + text)));
    // Long texts only through the cheap checks above: strtod on a megabyte of
    // digits would dominate the run.
    if (text.size() > 4096)
        return;
    if (isPlainDecimal(text)) {
        // strtod in the C locale is correctly rounded on glibc, as the reader is.
        const double expected = std::strtod(text.toLatin1().constData(), nullptr);
        CHECK(same(value, expected));
    } else if (const std::optional<double> expected = plainBasedNumber(text)) {
        CHECK(same(value, *expected));
    }
}

QString withoutSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

void checkBoolean(const QString &text)
{
    const std::optional<bool> value = parseBoolean(text);
    const QString word = withoutSpaces(text);
    if (word.compare(u"True", Qt::CaseInsensitive) == 0) {
        CHECK(value && *value);
    } else if (word.compare(u"False", Qt::CaseInsensitive) == 0) {
        CHECK(value && !*value);
    } else if (value) {
        // Otherwise only a whole number text is a Boolean; it has a digit, and
        // being whole, the lenient reader reads the same number from it.
        bool hasDigit = false;
        for (const QChar c : text)
            hasDigit = hasDigit || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')
                    || (c >= u'A' && c <= u'F');
        CHECK(hasDigit);
        CHECK(*value == (parseLeadingNumber(text) != 0));
    }
}

void checkFormatSize(float size)
{
    const QString text = formatSize(size);
    CHECK(!text.isEmpty());
    for (const QChar c : text)
        CHECK(isDigit(c) || c == u'.' || c == u'-' || c == u'+' || c == u'E');
    if (!std::isfinite(size)) {
        CHECK(text == QStringLiteral("0"));
        return;
    }
    // Up to seven significant digits.
    const QString mantissa = text.section(u'E', 0, 0);
    qsizetype significant = 0;
    bool leading = true;
    for (const QChar c : mantissa) {
        if (!isDigit(c))
            continue;
        if (leading && c == u'0')
            continue;
        leading = false;
        ++significant;
    }
    CHECK(significant <= 7);

    const double back = parseLeadingNumber(text);
    const double exact = size;
    if (std::floor(exact) == exact && std::fabs(exact) < 1e7) {
        CHECK(back == exact);
        CHECK(!text.startsWith(u'-') || exact < 0);
    } else {
        // Half a unit in the seventh digit, and a little for the double.
        CHECK(std::fabs(back - exact) <= 5.000001e-7 * std::fabs(exact));
    }
}

// --- The naive reading of the line rules --------------------------------------

// Every occurrence of tag cut out, found left to right in the line as given:
// pieces that join into a tag after a cut stay.
QString cutEvery(const QString &line, const QString &tag)
{
    QString value;
    qsizetype from = 0;
    for (qsizetype at = line.indexOf(tag); at >= 0; at = line.indexOf(tag, from)) {
        value += QStringView(line).mid(from, at - from);
        from = at + tag.size();
    }
    value += QStringView(line).mid(from);
    return value;
}

void expectSize(Call::Kind kind, const QString &value, Calls &calls)
{
    checkLeadingNumber(value);
    const double twips = parseLeadingNumber(value);
    // Single precision, and infinity for a value beyond its range; the size
    // must be above 100 as kept.
    const double stored = twips > double(FLT_MAX) ? std::numeric_limits<double>::infinity()
                                                  : double(float(twips));
    if (!(stored > 100))
        return;
    calls.push_back({ kind, -1, {}, false, stored });
}

void modelLine(const QString &line, Calls &calls)
{
    for (int tag = 0; tag < TagCount; ++tag) {
        if (!line.contains(tagText(tag)))
            continue;
        const QString value = cutEvery(line, tagText(tag));
        switch (tag) {
        case BadgeTag:
        case StartTag:
        case CloseTag:
            calls.push_back({ Call::SetLink, tag - BadgeTag + int(Link::Badge), value });
            break;
        case OnTopTag:
        case TaskbarTag:
            checkBoolean(value);
            if (parseBoolean(value).value_or(false))
                calls.push_back({ tag == OnTopTag ? Call::ToggleOnTop : Call::ToggleTaskbar });
            break;
        case StartWinTag:
            checkBoolean(value);
            if (const std::optional<bool> checked = parseBoolean(value))
                calls.push_back({ Call::SetStartWin, -1, {}, *checked });
            break;
        case HeightTag:
            expectSize(Call::SetHeight, value, calls);
            break;
        case WidthTag:
            expectSize(Call::SetWidth, value, calls);
            break;
        }
        return;
    }
}

void modelText(const QString &text, Calls &calls)
{
    QString rest = withoutSpaces(text);
    if (rest.endsWith(QStringLiteral("\r\n")))
        rest.chop(2);
    if (rest.endsWith(u'\r'))
        rest.chop(1);
    if (rest.endsWith(u'\n'))
        rest.chop(1);
    const QStringList lines = rest.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        modelLine(line, calls);
}

void checkSameCalls(const Calls &actual, const Calls &expected)
{
    CHECK(actual.size() == expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        CHECK(actual[i] == expected[i]);
}

// --- The whole-file and one-line readings ------------------------------------

void checkDecode(const QByteArray &bytes, const QString &text)
{
    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    // Plain ASCII reads the same in any narrow code page, NUL included.
    if (ascii) {
        CHECK(text.size() == bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i)
            CHECK(text[i].unicode() == static_cast<unsigned char>(bytes[i]));
    }
    // Not the converse: the UTF-8 decoder drops a byte order mark, so the
    // three bytes of one alone read as no text.
    CHECK(!bytes.isEmpty() || text.isEmpty());
}

void checkWholeFile(const QByteArray &bytes, const QString &text)
{
    RecordingTarget target;
    applySettingsText(text, target);
    Calls expected;
    modelText(text, expected);
    checkSameCalls(target.calls, expected);

    // The file read a line at a time reads as its whole text.
    RecordingTarget lineByLine;
    applySettingsFile(bytes, lineByLine);
    checkSameCalls(lineByLine.calls, target.calls);

    // Blanks around the whole text are trimmed away.
    RecordingTarget padded;
    applySettingsText(QStringLiteral("  ") + text + QStringLiteral("  "), padded);
    checkSameCalls(padded.calls, target.calls);
}

void checkOneLine(const QString &text)
{
    RecordingTarget target;
    applySettingLine(text, target);
    Calls expected;
    modelLine(text, expected);
    checkSameCalls(target.calls, expected);
    CHECK(target.calls.size() <= 1);
}

// --- Write and read back -----------------------------------------------------

float floatFrom(const uint8_t *bytes)
{
    float value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// The state is cut from the input: a flag byte, two floats taken bit for bit
// (NaN, infinities and subnormals included), two length bytes for the first
// links, and the rest as the third link, each link read as UTF-8.
SettingsState stateFrom(const uint8_t *data, std::size_t size)
{
    uint8_t head[11] = {};
    if (size > 0) // memcpy wants a valid pointer even for no bytes
        std::memcpy(head, data, std::min(size, sizeof head));
    SettingsState state;
    state.alwaysOnTop = head[0] & 1;
    state.showInTaskbar = head[0] & 2;
    state.startWithWindows = head[0] & 4;
    state.hasSize = head[0] & 8;
    state.height = floatFrom(head + 1);
    state.width = floatFrom(head + 5);
    std::size_t at = std::min(size, sizeof head);
    auto take = [&](std::size_t wanted) {
        const std::size_t n = std::min(wanted, size - at);
        const QString link =
                QString::fromUtf8(reinterpret_cast<const char *>(data) + at, qsizetype(n));
        at += n;
        return link;
    };
    state.badgeLink = take(head[9]);
    state.linkStart = take(head[10]);
    state.linkClose = take(size);
    return state;
}

QString withoutCrLf(const QString &link)
{
    QString kept;
    for (const QChar c : link) {
        if (c != u'\r' && c != u'\n')
            kept += c;
    }
    return kept;
}

// A size read back: none where the rules leave none, and otherwise the
// written size to seven digits.
void checkSizeReadBack(float written, const Calls &calls, std::size_t &next, Call::Kind kind)
{
    const bool present = next < calls.size() && calls[next].kind == kind;
    if (!std::isfinite(written) || written <= 100) {
        CHECK(!present);
        return;
    }
    // Just above 100 the seven-digit text may round to "100", which is no size.
    if (written >= 100.001f)
        CHECK(present);
    if (!present)
        return;
    const double back = calls[next++].twips;
    const double exact = written;
    if (std::floor(exact) == exact && exact < 1e7)
        CHECK(back == exact);
    else
        CHECK(std::fabs(back - exact) <= 6e-7 * exact);
}

void checkRoundTrip(const uint8_t *data, std::size_t size)
{
    const SettingsState state = stateFrom(data, size);
    checkFormatSize(state.height);
    checkFormatSize(state.width);

    const QString links[3] = { withoutLineBreaks(state.badgeLink),
                               withoutLineBreaks(state.linkStart),
                               withoutLineBreaks(state.linkClose) };
    CHECK(links[0] == withoutCrLf(state.badgeLink));
    CHECK(links[1] == withoutCrLf(state.linkStart));
    CHECK(links[2] == withoutCrLf(state.linkClose));

    const QByteArray bytes = formatSettings(state);
    const qsizetype lineCount = state.hasSize ? 8 : 6;
    // Every line ends in CR LF and no value can add a line.
    CHECK(bytes.endsWith("\r\n"));
    CHECK(bytes.count('\r') == lineCount);
    CHECK(bytes.count('\n') == lineCount);
    CHECK(bytes.count("\r\n") == lineCount);

    const QString text = decodeSettings(bytes);
    const QStringList written = text.split(QStringLiteral("\r\n"));
    CHECK(written.size() == lineCount + 1 && written.last().isEmpty());
    for (qsizetype i = 0; i < lineCount; ++i)
        CHECK(written[i].startsWith(tagText(int(i))));
    auto word = [](bool on) {
        return on ? QStringLiteral("True") : QStringLiteral("False");
    };
    CHECK(written[OnTopTag] == tagText(OnTopTag) + word(state.alwaysOnTop));
    CHECK(written[TaskbarTag] == tagText(TaskbarTag) + word(state.showInTaskbar));
    CHECK(written[StartWinTag] == tagText(StartWinTag) + word(state.startWithWindows));
    if (state.hasSize) {
        CHECK(written[HeightTag] == tagText(HeightTag) + formatSize(state.height));
        CHECK(written[WidthTag] == tagText(WidthTag) + formatSize(state.width));
    }
    // A link survives the narrow code page only where the page can hold it.
    bool lossless = true;
    for (const QString &link : links)
        lossless = lossless && decodeSettings(link.toLocal8Bit()) == link;
    if (lossless) {
        for (int i = 0; i < 3; ++i)
            CHECK(written[i] == tagText(i) + links[i]);
    }

    RecordingTarget target;
    applySettingsText(text, target);
    Calls expected;
    modelText(text, expected);
    checkSameCalls(target.calls, expected);
    const Calls &calls = target.calls;

    // Each link line sets one link whatever it holds, as its own tag outranks
    // every tag that is not a link's; the first line's tag outranks all.
    CHECK(calls.size() >= 4);
    for (int i = 0; i < 3; ++i)
        CHECK(calls[i].kind == Call::SetLink);
    CHECK(calls[0].link == int(Link::Badge));
    // The format has no escaping: a link holding a tag of its own reads back
    // differently, so only links without '[' must come back as written.
    bool bracketFree = true;
    for (const QString &link : links)
        bracketFree = bracketFree && !link.contains(u'[');
    if (bracketFree && lossless) {
        for (int i = 0; i < 3; ++i) {
            CHECK(calls[i].link == int(Link::Badge) + i);
            CHECK(calls[i].value == links[i]);
        }
    }

    // The flag lines hold nothing a link could disturb. Toggles are replayed as
    // clicks: a True toggles once, a False not at all.
    std::size_t next = 3;
    if (state.alwaysOnTop)
        CHECK(next < calls.size() && calls[next++].kind == Call::ToggleOnTop);
    if (state.showInTaskbar)
        CHECK(next < calls.size() && calls[next++].kind == Call::ToggleTaskbar);
    CHECK(next < calls.size() && calls[next].kind == Call::SetStartWin);
    CHECK(calls[next++].checked == state.startWithWindows);
    if (state.hasSize) {
        checkSizeReadBack(state.height, calls, next, Call::SetHeight);
        checkSizeReadBack(state.width, calls, next, Call::SetWidth);
    }
    CHECK(next == calls.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // strtod is the yardstick for decimal numbers, so it must read '.' as the point.
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    // No copy: ASan then sees any read past the input's last byte.
    const QByteArray bytes =
            QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = decodeSettings(bytes);
    checkDecode(bytes, text);
    checkWholeFile(bytes, text);
    checkOneLine(text);
    checkLeadingNumber(text);
    checkBoolean(text);
    checkRoundTrip(data, size);
    return 0;
}

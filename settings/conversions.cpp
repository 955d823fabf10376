#include "settings/conversions.h"

#include <QStringView>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace {

// Blanks, tabs and line feeds are passed over wherever they stand in a number,
// as settings files have always been read.
bool isSkippedInNumber(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int digitValue(QChar c, int base)
{
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c.unicode() - u'A' + 10;
    return value < base ? value : -1;
}

// Enough significant digits to round any decimal text to the nearest double;
// anything beyond is folded into one sticky digit, so a megabyte of digits
// costs one pass and a short conversion.
constexpr int kMaxSignificantDigits = 800;

// Saturating, so an absurd exponent cannot overflow; far beyond any text's length, so that a megabyte of digits moving the
// decimal point can never outweigh a saturated exponent.
constexpr long long kExponentLimit = 1000000000000000LL;

struct NumberScan {
    double value = 0;
    qsizetype end = 0; // just past the last character that belongs to the number
    bool hasDigits = false; // a sign or "&H" alone is no number
};

// The significant digits of a decimal number, leading zeros dropped. Kept on
// the stack: sizes are read for every line of a file.
struct Digits {
    char text[kMaxSignificantDigits + 1];
    int size = 0;
};

// Turns 0.<digits> x 10^exponent into a double. The text handed to the
// converter is always in the C form and from_chars never looks at the locale.
double decimalToDouble(const Digits &digits, long long exponent, bool negative)
{
    double magnitude = 0;
    if (digits.size == 0) {
        magnitude = 0;
    } else if (exponent > 310) {
        magnitude = std::numeric_limits<double>::infinity();
    } else if (exponent < -330) {
        magnitude = 0;
    } else {
        char text[kMaxSignificantDigits + 32];
        text[0] = '0';
        text[1] = '.';
        std::memcpy(text + 2, digits.text, std::size_t(digits.size));
        char *end = text + 2 + digits.size;
        *end++ = 'e';
        end = std::to_chars(end, text + sizeof text, exponent).ptr;
        const auto result = std::from_chars(text, end, magnitude);
        if (result.ec == std::errc::result_out_of_range)
            magnitude = exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -magnitude : magnitude;
}

// Reads the number at the start of text. When lenient, blanks, tabs and LF
// are passed over wherever they stand; otherwise the text must hold the
// number with nothing in between.
NumberScan scanNumber(QStringView text, bool lenient)
{
    const qsizetype size = text.size();
    auto skip = [&](qsizetype i) {
        if (lenient) {
            while (i < size && isSkippedInNumber(text[i]))
                ++i;
        }
        return i;
    };

    NumberScan scan;
    qsizetype i = skip(0);

    if (i < size && text[i] == u'&') {
        const qsizetype marker = skip(i + 1);
        int base = 0;
        if (marker < size && (text[marker] == u'H' || text[marker] == u'h'))
            base = 16;
        else if (marker < size && (text[marker] == u'O' || text[marker] == u'o'))
            base = 8;
        if (base == 0)
            return scan;
        scan.end = marker + 1;
        i = skip(marker + 1);
        double value = 0;
        while (i < size) {
            const int digit = digitValue(text[i], base);
            if (digit < 0)
                break;
            value = value * base + digit; // stays finite or becomes inf, never UB
            scan.hasDigits = true;
            scan.end = i + 1;
            i = skip(i + 1);
        }
        scan.value = value;
        return scan;
    }

    bool negative = false;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        scan.end = i + 1;
        i = skip(i + 1);
    }

    Digits digits;
    long long pointExponent = 0; // decimal exponent of the value 0.<digits>
    bool truncatedNonZero = false;
    bool seenPoint = false;

    while (i < size) {
        const QChar c = text[i];
        if (isDecimalDigit(c)) {
            scan.hasDigits = true;
            const char digit = char(c.unicode());
            if (digits.size == 0 && digit == '0') {
                if (seenPoint)
                    --pointExponent;
            } else {
                if (digits.size < kMaxSignificantDigits)
                    digits.text[digits.size++] = digit;
                else if (digit != '0')
                    truncatedNonZero = true;
                if (!seenPoint)
                    ++pointExponent;
            }
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        scan.end = i + 1;
        i = skip(i + 1);
    }

    if (!scan.hasDigits) {
        scan.end = 0;
        return scan;
    }

    if (i < size && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = skip(i + 1);
        bool negativeExponent = false;
        if (j < size && (text[j] == u'+' || text[j] == u'-')) {
            negativeExponent = text[j] == u'-';
            j = skip(j + 1);
        }
        if (j < size && isDecimalDigit(text[j])) {
            long long exponent = 0;
            while (j < size && isDecimalDigit(text[j])) {
                if (exponent < kExponentLimit)
                    exponent = exponent * 10 + (text[j].unicode() - u'0');
                scan.end = j + 1;
                j = skip(j + 1);
            }
            pointExponent += negativeExponent ? -exponent : exponent;
        }
    }

    if (truncatedNonZero)
        digits.text[digits.size++] = '1';
    scan.value = decimalToDouble(digits, pointExponent, negative);
    return scan;
}

QStringView trimmed(QStringView text, bool alsoTabs)
{
    auto isBlank = [alsoTabs](QChar c) {
        return c == u' ' || (alsoTabs && c == u'\t');
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace

double parseLeadingNumber(const QString &text)
{
    return scanNumber(text, true).value;
}

std::optional<bool> parseBoolean(const QString &text)
{
    const QStringView word = trimmed(text, false);
    if (word.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;

    const QStringView number = trimmed(text, true);
    const NumberScan scan = scanNumber(number, false);
    if (!scan.hasDigits || scan.end != number.size())
        return std::nullopt;
    return scan.value != 0;
}

QString formatSize(float value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");

    const double exact = value;
    if (std::floor(exact) == exact && std::fabs(exact) < 1e7)
        return QString::number(static_cast<long long>(exact)); // also turns -0 into "0"

    // Seven significant digits, correctly rounded from the float's exact value.
    char buffer[64];
    const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, exact, std::chars_format::scientific, 6);
    const std::string_view scientific(buffer, std::size_t(result.ptr - buffer));
    const std::size_t ePos = scientific.find('e');

    bool negative = false;
    std::string digits;
    for (std::size_t k = 0; k < ePos; ++k) {
        const char c = scientific[k];
        if (c == '-')
            negative = true;
        else if (c >= '0' && c <= '9')
            digits += c;
    }
    int exponent = 0;
    std::from_chars(scientific.data() + ePos + 1 + (scientific[ePos + 1] == '+' ? 1 : 0),
                    scientific.data() + scientific.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    if (negative)
        out += '-';
    if (exponent >= 7 || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        out += exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10)
            out += '0';
        out += std::to_string(magnitude);
    } else if (exponent < 0) {
        out += "0.";
        out.append(std::size_t(-exponent - 1), '0');
        out += digits;
    } else {
        const std::size_t integerDigits = std::size_t(exponent) + 1;
        if (digits.size() <= integerDigits) {
            out += digits;
            out.append(integerDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, integerDigits);
            out += '.';
            out.append(digits, integerDigits, std::string::npos);
        }
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

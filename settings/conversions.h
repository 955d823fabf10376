#pragma once

#include <QString>
#include <optional>

// The conversions the settings file was always read and written with. They
// differ from the standard library's on purpose; each comment says where.

// A leading number as a lenient reader takes it: blanks, tabs and LF are
// skipped wherever they stand, reading stops at the first character that
// cannot continue a decimal number ("7200px" is 7200, "x" is 0), "." is the
// decimal point whatever the locale, and "&H1F" / "&O17" are whole numbers in
// base 16 / 8.
double parseLeadingNumber(const QString &text);

// "True" / "False" in any letter case, or a numeric text (zero is false, any
// other number true). Anything else, the empty text included, is no Boolean.
std::optional<bool> parseBoolean(const QString &text);

// The text of a single-precision size: whole numbers plainly ("8835"),
// others with up to seven significant digits and "." ("6330.5").
QString formatSize(float value);

#include "web/downloadrules.h"

#include <QSet>

#include <utility>

namespace {

// Linux file systems take names of up to 255 bytes. A saved name leaves room
// for the temporary suffix and for the suffix the browser engine puts on the
// file it writes into.
const int kMaxNameBytes = 255;
const char kTemporarySuffix[] = ".part";
const int kEngineSuffixBytes = int(sizeof kEngineSuffix - 1);
const int kSavedNameBytes = kMaxNameBytes - int(sizeof kTemporarySuffix - 1) - kEngineSuffixBytes;
// A longer "extension" is taken as part of the name.
const int kLongestExtensionBytes = 20;

int utf8Size(const QString &text)
{
    return int(text.toUtf8().size());
}

// The longest start of `text` that fits in `maxBytes` of UTF-8, cut between
// characters, never inside a surrogate pair.
QString truncatedUtf8(const QString &text, int maxBytes)
{
    int bytes = 0;
    int end = 0;
    while (end < text.size()) {
        const int length = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const int size = utf8Size(text.mid(end, length));
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += length;
    }
    return text.left(end);
}

// "report.pdf" -> {"report", ".pdf"}; "backup.tar.gz" -> {"backup", ".tar.gz"};
// a name without a dot, or only a leading one, has no extension.
std::pair<QString, QString> splitExtension(const QString &name)
{
    int dot = int(name.lastIndexOf(u'.'));
    if (dot <= 0 || utf8Size(name.mid(dot)) > kLongestExtensionBytes)
        return { name, {} };
    if (name.left(dot).endsWith(QLatin1String(".tar"), Qt::CaseInsensitive) && dot > 4)
        dot -= 4;
    return { name.left(dot), name.mid(dot) };
}

bool isRefusedCharacter(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format: // right-to-left overrides that disguise an extension, zero widths
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return QStringView(u"/\\<>:\"|?*").contains(c);
    }
}

bool isWindowsDeviceName(const QString &name)
{
    static const QSet<QString> devices = [] {
        QSet<QString> names { "CON", "PRN", "AUX", "NUL" };
        for (int n = 1; n <= 9; ++n)
            names << QStringLiteral("COM%1").arg(n) << QStringLiteral("LPT%1").arg(n);
        return names;
    }();
    return devices.contains(name.section(u'.', 0, 0).trimmed().toUpper());
}

bool isTrimmed(QChar c)
{
    return c == u'.' || c.isSpace();
}

} // namespace

QString safeFileName(const QString &suggested)
{
    const QString given = suggested.trimmed();
    QString name;
    for (int i = 0; i < given.size(); ++i) {
        const QChar c = given.at(i);
        if (c.isHighSurrogate() && i + 1 < given.size() && given.at(i + 1).isLowSurrogate()) {
            name += given.mid(i++, 2);
            continue;
        }
        name += c.isSurrogate() || isRefusedCharacter(c) ? QChar(u'_') : c;
    }
    while (!name.isEmpty() && isTrimmed(name.front()))
        name.remove(0, 1);
    while (!name.isEmpty() && isTrimmed(name.back()))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("download");
    if (isWindowsDeviceName(name))
        name.prepend(u'_');
    if (utf8Size(name) > kSavedNameBytes) {
        const auto [stem, extension] = splitExtension(name);
        name = truncatedUtf8(stem, kSavedNameBytes - utf8Size(extension)) + extension;
    }
    return name;
}

QString savedFileName(const QString &suggested, const QStringList &taken)
{
    QSet<QString> names;
    for (const QString &name : taken)
        names.insert(name.toLower());
    const auto isFree = [&names](const QString &name) {
        return !names.contains(name.toLower()) && !names.contains(temporaryFileName(name).toLower());
    };
    const QString safe = safeFileName(suggested);
    if (isFree(safe))
        return safe;
    const auto [stem, extension] = splitExtension(safe);
    for (int n = 1;; ++n) {
        const QString number = QStringLiteral(" (%1)").arg(n);
        const QString name = truncatedUtf8(stem, kSavedNameBytes - utf8Size(number + extension))
                + number + extension;
        if (isFree(name))
            return name;
    }
}

QString temporaryFileName(const QString &savedName)
{
    return savedName + QLatin1String(kTemporarySuffix);
}

QString readableSize(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    const char *const units[] = { "KB", "MB", "GB", "TB" };
    double value = bytes / 1024.0;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    QString number = value < 10 ? QString::number(value, 'f', 1) : QString::number(qRound64(value));
    if (number.endsWith(QLatin1String(".0")))
        number.chop(2);
    return number + u' ' + QLatin1String(units[unit]);
}

QString progressLine(const QString &name, qint64 receivedBytes, qint64 totalBytes)
{
    if (totalBytes <= 0)
        return QStringLiteral("Saving %1: %2 so far").arg(name, readableSize(receivedBytes));
    const qint64 percent = qBound(qint64(0), receivedBytes * 100 / totalBytes, qint64(100));
    return QStringLiteral("Saving %1: %2 % of %3")
            .arg(name, QString::number(percent), readableSize(totalBytes));
}

#include "desktop/autostartentry.h"

namespace {

// Exec arguments holding any of these must be quoted.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

QString quotedExecArgument(const QString &argument)
{
    QString quoted;
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) {
        if (kReserved.contains(c))
            needsQuotes = true;
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'%', QStringLiteral("%%")); // a lone % starts a field code
    return needsQuotes ? u'"' + quoted + u'"' : quoted;
}

// The escapes of every string value in a desktop entry, applied last.
QString escapedValue(const QString &value)
{
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case u'\n':
            escaped += QStringLiteral("\\n");
            break;
        case u'\t':
            escaped += QStringLiteral("\\t");
            break;
        case u'\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

QByteArray autostartDesktopEntry(const QString &executable)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=TalvorinTool\n"
                                        "Comment=Shows the chat of your site's chat badge\n"
                                        "Exec=%1\n"
                                        "Icon=TalvorinTool\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                                 .arg(escapedValue(quotedExecArgument(executable)));
    return text.toUtf8();
}

QString runValueData(const QString &nativeProgramDir)
{
    const QString path = nativeProgramDir + QStringLiteral("\\TalvorinTool.exe");
    return path.contains(u' ') ? u'"' + path + u'"' : path;
}

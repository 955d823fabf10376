#include "desktop/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

// QGuiApplication's and QApplication's options, which they take out of the
// arguments themselves; a session manager restarts the program with -session.
const char *const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet",
};
const char *const kQtFlags[] = { "reverse", "widgetcount", "nograb", "dograb" };

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

std::optional<int> answerCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // What follows is the browser engine's: Chromium switches.
    arguments = arguments.mid(0, arguments.indexOf(QStringLiteral("--webEngineArgs")));

    QCommandLineParser parser;
    // Qt's options come with one dash, as whole words.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
            "Shows the chat of your site's chat badge in a window of its own and tells your site\n"
            "when you come and go. Configured in File > Settings; lives in the notification area."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const char *name : kQtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), {}, QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : kQtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    const QString name = QCoreApplication::applicationName();
    if (!parser.parse(arguments)) {
        print(stderr, name + QStringLiteral(": ") + parser.errorText() + QStringLiteral(" Try --help.\n"));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, name + QStringLiteral(": unexpected argument '")
                      + parser.positionalArguments().constFirst() + QStringLiteral("'. Try --help.\n"));
        return 2;
    }
    if (parser.isSet(version)) {
        print(stdout, name + u' ' + QCoreApplication::applicationVersion() + u'\n');
        return 0;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Without an application object Qt does not know the program's name.
        print(stdout, parser.helpText().replace(QStringLiteral("<executable_name>"), name));
        return 0;
    }
    return std::nullopt;
}

#include "app/command_line.h"

namespace quenda {

QString normalisePortName(const QString& arg) {
    if (arg.contains(QLatin1Char('/'))) return arg;
    const QString lower = arg.toLower();
    if (lower.startsWith(QLatin1String("tty")) || lower.startsWith(QLatin1String("rfcomm")) ||
        lower.startsWith(QLatin1String("cu.")))
        return arg;
    return arg.toUpper();
}

CommandLine parseCommandLine(const QStringList& args) {
    CommandLine cl;
    for (const QString& a : args) {
        cl.logLines << QStringLiteral("Parameter: ") + a;
        const bool switchLike = a.size() >= 2 && (a[0] == QLatin1Char('-') || a[0] == QLatin1Char('/'));
        const QString sw = switchLike ? a.mid(1).toLower() : QString();
        if (sw == QLatin1String("expert")) cl.expert = true;
        else if (sw == QLatin1String("rc433")) cl.rc433 = true;
        else if (sw == QLatin1String("debug")) cl.debug = true;
        else if (sw == QLatin1String("german")) cl.language = 1;
        else if (sw == QLatin1String("english")) cl.language = 0;
        else if (sw == QLatin1String("demo")) cl.demo = true;
        // On systems with path-named ports, "/tmp/x" or "/dev/ttyUSB0" is a port, not a switch.
        else if (switchLike && a[0] == QLatin1Char('-')) cl.logLines << QStringLiteral("Unknown switch ignored: ") + a;
        else cl.port = normalisePortName(a);
    }
    return cl;
}

} // namespace quenda

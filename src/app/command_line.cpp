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
        // On systems with path-named ports, "/dev/ttyUSB0" is a port, not a switch.
        const bool path = a.startsWith(QLatin1Char('/')) && a.indexOf(QLatin1Char('/'), 1) > 0;
        if (a.size() < 2 || path || (a[0] != QLatin1Char('-') && a[0] != QLatin1Char('/'))) {
            cl.port = normalisePortName(a);
            continue;
        }
        const QString sw = a.mid(1).toLower();
        if (sw == QLatin1String("expert")) cl.expert = true;
        else if (sw == QLatin1String("rc433")) cl.rc433 = true;
        else if (sw == QLatin1String("debug")) cl.debug = true;
        else if (sw == QLatin1String("german")) cl.language = 1;
        else if (sw == QLatin1String("english")) cl.language = 0;
    }
    return cl;
}

} // namespace quenda

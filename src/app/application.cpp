#include "app/application.h"

#include <exception>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace quenda {

QuendaApplication::QuendaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QuendaApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (sink_) sink_(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        if (sink_) sink_(QStringLiteral("Unknown exception"));
    }
    return false;
}

void suppressSystemErrorDialogs() {
#ifdef Q_OS_WIN
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
#endif
}

} // namespace quenda

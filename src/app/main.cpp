#include "app/application.h"
#include "app/main_window.h"
#include "app/quit_signals.h"
#include "link/link_thread.h"

#include <quenda_version.h>

#include <QDeadlineTimer>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so it works without a display.
    bool quitWhenConnected = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quenda %s\n", QUENDA_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--quit-when-connected") == 0) quitWhenConnected = true;
    }
    quenda::suppressSystemErrorDialogs();
    quenda::QuendaApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Drevanilux2"));
    app.setApplicationName(QStringLiteral("quenda"));
    app.setApplicationVersion(QStringLiteral(QUENDA_VERSION));

    quenda::WindowOptions options;
    options.args = app.arguments().mid(1);
    options.args.removeAll(QStringLiteral("--quit-when-connected"));
    options.demoWhenIdle = true;
    auto window = std::make_unique<quenda::TfrmQuenda>(std::move(options));
    app.setExceptionSink([&window](const QString& m) { window->ApplicationEventsException(m); });
    // SIGTERM, SIGINT and the end of the session close the window the orderly way.
    quenda::QuitSignals quit;
    QObject::connect(&quit, &quenda::QuitSignals::quitRequested, window.get(), &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, window.get(), &QWidget::close);
    window->show();
    // A check of an installation: the program connects (to the demo device with -demo),
    // says so and quits; one that does not connect in time fails.
    constexpr long long kQuitAfterMs = 30000;
    const QDeadlineTimer quitAfter(kQuitAfterMs);
    QTimer connectedCheck;
    if (quitWhenConnected) {
        QObject::connect(&connectedCheck, &QTimer::timeout, window.get(), [&] {
            if (window->isConnected()) {
                std::printf("%s\n", qPrintable(window->statusPanel(0)->text()));
                app.exit(0);
            } else if (quitAfter.hasExpired()) {
                std::fprintf(stderr, "not connected after %lld s\n", kQuitAfterMs / 1000);
                app.exit(1);
            }
        });
        connectedCheck.start(100);
    }
    const int rc = app.exec();
    // A link may still be in a port read after the window's bounded wait; let it leave
    // before the program's static objects go.
    app.setExceptionSink({});
    window.reset();
    quenda::TthdCom::WaitForThreads(6000);
    return rc;
}

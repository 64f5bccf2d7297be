#include "app/application.h"
#include "app/main_window.h"
#include "link/link_thread.h"

#include <quenda_version.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quenda %s\n", QUENDA_VERSION);
            return 0;
        }
    }
    quenda::suppressSystemErrorDialogs();
    quenda::QuendaApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Drevanilux2"));
    app.setApplicationName(QStringLiteral("quenda"));
    app.setApplicationVersion(QStringLiteral(QUENDA_VERSION));

    quenda::WindowOptions options;
    options.args = app.arguments().mid(1);
    auto window = std::make_unique<quenda::TfrmQuenda>(std::move(options));
    app.setExceptionSink([&window](const QString& m) { window->ApplicationEventsException(m); });
    window->show();
    const int rc = app.exec();
    // A link may still be in a port read after the window's bounded wait; let it leave
    // before the program's static objects go.
    app.setExceptionSink({});
    window.reset();
    quenda::TthdCom::WaitForThreads(6000);
    return rc;
}

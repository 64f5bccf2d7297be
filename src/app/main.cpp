#include "app/application.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    quenda::suppressSystemErrorDialogs();
    quenda::QuendaApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Drevanilux2"));
    app.setApplicationName(QStringLiteral("quenda"));

    quenda::WindowOptions options;
    options.args = app.arguments().mid(1);
    quenda::TfrmQuenda window(std::move(options));
    app.setExceptionSink([&window](const QString& m) { window.ApplicationEventsException(m); });
    window.show();
    return app.exec();
}

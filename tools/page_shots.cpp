// Saves pictures of the channel and schedule pages filled with sample values, for a
// look at colours, alignment and headers on a real display:
//   page_shots <folder> [-german] [-live] [tsPage ...]
// With -live the window connects to the built-in demo device and shows what it reads;
// page names given replace the default three.
#include "app/application.h"
#include "app/main_window.h"
#include "pages/page.h"

#include <QDir>
#include <cstring>
#include <QTabWidget>
#include <QTimer>

using namespace quenda;

int main(int argc, char** argv) {
    QuendaApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    // The window makes the program folder the current one; keep the folder as given.
    const QString folder = QDir(args.value(0, QStringLiteral("."))).absolutePath();
    QDir().mkpath(folder);

    QStringList pages;
    QStringList windowArgs;
    for (const QString& a : args.mid(1))
        (a.startsWith(QLatin1String("ts")) ? pages : windowArgs) << a;
    if (pages.isEmpty()) pages = {QStringLiteral("tsChannels"), QStringLiteral("tsChannelsGL"), QStringLiteral("tsSchedule")};
    const bool live = windowArgs.removeAll(QStringLiteral("-live")) > 0;
    if (live) windowArgs << QStringLiteral("-demo") << QStringLiteral("-expert") << QStringLiteral("-rc433");

    WindowOptions o;
    o.args = windowArgs;
    o.useTaskbar = false;
    o.watchSystem = false;
    if (!live) o.startLink = [](const QString&, bool) {};
    TfrmQuenda w(std::move(o));
    DeviceState& st = w.state();
    const uint8_t names[12] = {1, 7, 8, 4, 11, 5, 2, 3, 14, 9, 12, 15};
    for (int n = 0; n < 12; ++n) {
        st.Config.ColorName[n] = names[n];
        st.Info.Channel[n] = int16_t(n * 372);
    }
    st.Config.Mode = 0;
    st.resizeSchedule(12);
    for (int n = 0; n < 12; ++n) {
        TScheduleRow r{};
        r.Hour = int8_t(6 + n);
        r.Minute = int8_t((n * 15) % 60);
        r.Alt = int16_t(n * 800);
        for (int ch = 0; ch < 12; ++ch)
            r.Color16[ch] = int16_t((n * 300 + ch * 97) % 4097);
        r.Switch = uint8_t((n % 2 ? 0x20 : 0) | (n % 3 ? 0x40 : 0) | (n % 4 == 0 ? 0x80 : 0));
        r.Timer = int16_t(n);
        TransferBuffer b; // as a download stores it
        b.Payload[0] = uint8_t(n);
        std::memcpy(b.Payload + 1, &r, sizeof r);
        st.storeScheduleRow(b);
    }
    st.Info.CurrentRow = 3;
    w.show();
    if (!live) {
        w.EnableControls(true);
        w.ShowModeAndSettings();
        w.ShowDeviceInfo();
        w.ShowSchedule();
    }

    int failures = 0;
    QTimer::singleShot(live ? 5000 : 300, [&] {
        for (const QString& name : pages) {
            w.ShowPage(w.page(name));
            QCoreApplication::processEvents();
            const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
            if (!w.grab().save(file)) ++failures;
        }
        app.quit();
    });
    app.exec();
    return failures;
}

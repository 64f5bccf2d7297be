// Settings files against the simulated device: what was exported, imported after the
// device's values changed, is what the device holds again once the link has uploaded.
#include "files/settings_file.h"
#include "lang/texts.h"
#include "link/link_test_util.h"
#include "link/qt_serial_port.h"
#include "sim/simulator.h"

#include <QTemporaryDir>
#include <QTest>
#include <cstring>

using namespace quenda;
using namespace quenda::testing;

namespace {

bool sameSettings(const sim::Records& a, const sim::Records& b) {
    if (a.schedule.size() != b.schedule.size()) return false;
    for (std::size_t i = 0; i < a.schedule.size(); ++i)
        if (std::memcmp(&a.schedule[i], &b.schedule[i], sizeof(TScheduleRow))) return false;
    return !std::memcmp(&a.config, &b.config, sizeof a.config) && !std::memcmp(&a.expert, &b.expert, sizeof a.expert) &&
           !std::memcmp(&a.weather, &b.weather, sizeof a.weather);
}

} // namespace

class TestFilesSim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LoadLanguage(LanguageChoice::English); }
    void cleanupTestCase() { QVERIFY(TthdCom::WaitForThreads(10000)); }

    void exportChangeImportRestores() {
        QTemporaryDir dir;
        sim::SimConfig cfg;
        cfg.device.rows = 8;
        cfg.server.linkPath = dir.filePath(QStringLiteral("ttySIM"));
        sim::Simulator simulator(std::move(cfg));
        QString error;
        QVERIFY2(simulator.start(&error), qPrintable(error));

        LinkRig rig(10000);
        TthdCom::Options o;
        o.makePort = [] { return std::make_unique<QtSerialPort>(300); };
        o.timing = LinkTiming{5, 1, 20};
        rig.startLink(simulator.portPath(), false, std::move(o));
        QVERIFY2(rig.untilEvent(QStringLiteral("ShowWeatherSettings")), qPrintable(rig.dump()));

        const sim::Records exported = simulator.device().records();
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        const FileResult written = rig.onWindow([&](RecordingWindow& w) { return WriteSettingsFile(w.State(), path); });
        QVERIFY2(written.ok, qPrintable(written.error));

        // Values changed on the device (as by its keys), then read again by the tool.
        simulator.device().update([](sim::Records& r) {
            r.config.Mode = uint8_t((r.config.Mode + 1) % 5);
            r.config.Lat = int16_t(r.config.Lat - 77);
            r.expert.TempOffset = int8_t(-r.expert.TempOffset - 1);
            r.weather.MoonColor16[11] = int16_t(r.weather.MoonColor16[11] + 5);
            r.schedule[7].Switch = uint8_t(r.schedule[7].Switch ^ 0xE0);
            r.schedule[0].Hour = int8_t((r.schedule[0].Hour + 3) % 24);
        });
        QVERIFY(!sameSettings(simulator.device().records(), exported));
        rig.host->Inspect([](LinkWindow& w) { w.State().raise(rqRefreshAll); });
        const sim::Records changed = simulator.device().records();
        QVERIFY(waitFor(
            [&] {
                return rig.onWindow([&](RecordingWindow& w) {
                    const DeviceState& s = w.State();
                    return !std::memcmp(&s.Config, &changed.config, sizeof s.Config) &&
                           !std::memcmp(&s.Schedule[7], &changed.schedule[7], sizeof(TScheduleRow));
                });
            },
            5000));

        const bool imported = rig.onWindow([&](RecordingWindow& w) {
            DeviceState& s = w.State();
            const bool ok = ImportConfiguration(s, path).ok && ImportSchedule(s, path).ok;
            s.raise(rqConfigImport);
            s.markRowsForUpload(0, s.Info.RowCount - 1);
            return ok;
        });
        QVERIFY(imported);
        QVERIFY(waitFor([&] { return sameSettings(simulator.device().records(), exported); }, 8000));
        QVERIFY(rig.finish());
        simulator.stop();
    }
};

QTEST_GUILESS_MAIN(TestFilesSim)
#include "test_files_sim.moc"

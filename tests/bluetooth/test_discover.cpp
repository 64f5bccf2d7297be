// The runs' retry, pause and ending rules on a scripted Bluetooth stack, the port the
// link opens for a Bluetooth name, and the two menu items of the window.
#include "app/bluetooth_control.h"
#include "app/main_window.h"
#include "bluetooth/bluetooth_ports.h"
#include "bluetooth/discover.h"
#include "lang/texts.h"
#include "link/link_test_util.h"
#include "link/port_list.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

using namespace quenda;
using namespace quenda::testing;

namespace {
QString msg(const char* key) { return Msg(QString::fromLatin1(key)); }

// One device; each call fails while its failure budget lasts.
class ScriptedStack : public BluetoothSystem {
public:
    BtDevice device;
    std::atomic<int> pairFailures{0}, serviceFailures{0}, namelessReads{0};
    std::atomic<int> pairCalls{0}, serviceCalls{0}, removeCalls{0};

    bool StartInquiry(BtError&) override { return true; }
    void StopInquiry() override {}
    bool ListDevices(QList<BtDevice>& devices, BtError&) override {
        devices = {device};
        return true;
    }
    bool ReadDevice(BtDevice& d, BtError&) override {
        d = device;
        if (namelessReads.fetch_sub(1) > 0) d.name.clear();
        return true;
    }
    bool Pair(const BtDevice&, BtError& e) override { return attempt(pairCalls, pairFailures, e); }
    bool EnableSerialPort(const BtDevice&, BtError& e) override { return attempt(serviceCalls, serviceFailures, e); }
    bool Remove(const BtDevice&, BtError&) override {
        ++removeCalls;
        return true;
    }

private:
    static bool attempt(std::atomic<int>& calls, std::atomic<int>& failures, BtError& e) {
        ++calls;
        if (failures.fetch_sub(1) <= 0) return true;
        e = {QStringLiteral("org.bluez.Error.AuthenticationFailed"), QStringLiteral("Authentication Failed")};
        return false;
    }
};

class FrontWindow : public RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;
    void BringToFront() override { ++fronts; }
    int fronts = 0;
};

std::shared_ptr<ScriptedStack> controller(bool paired) {
    auto s = std::make_shared<ScriptedStack>();
    s->device.id = QStringLiteral("dev");
    s->device.address = QStringLiteral("00:11:22:33:44:55");
    s->device.name = QString::fromLatin1(kControllerName);
    s->device.paired = paired;
    return s;
}

class CountingPort : public IPort {
public:
    explicit CountingPort(QStringList& opened) : opened_(opened) {}
    bool open(const QString& n) override {
        opened_ << n;
        return true;
    }
    bool isOpen() const override { return true; }
    QString name() const override { return {}; }
    void close() override {}
    bool purge() override { return true; }
    bool write(const QByteArray&) override { return true; }
    QByteArray read(int) override { return {}; }
    QString errorString() const override { return {}; }

private:
    QStringList& opened_;
};
} // namespace

class TestDiscover : public QObject {
    Q_OBJECT

    std::shared_ptr<DeviceState> state_ = std::make_shared<DeviceState>();

    QStringList runToEnd(FrontWindow& window, const std::shared_ptr<BluetoothSystem>& stack, bool install) {
        auto host = std::make_shared<HeadlessLinkHost>(window);
        auto run = std::make_shared<TthdDiscover>(host, stack, install, DiscoverTiming{1, 1});
        QString error;
        if (!run->Start(error)) return {error};
        if (!QTest::qWaitFor([&] { return run->Finished(); }, 10000)) return {QStringLiteral("not finished")};
        QStringList lines;
        host->Inspect([&](LinkWindow&) { lines = window.texts(QStringLiteral("log")); });
        if (run->LastLine() != lines.value(lines.size() - 1)) lines << QStringLiteral("last line not kept");
        return lines;
    }

private slots:
    void initTestCase() { LoadLanguage(LanguageChoice::English); }

    // Pairing that always fails: five error lines carrying the stack's error, then the
    // device is left alone. A service that cannot be enabled gets the pairing undone.
    void failedStepsAreRetriedThenGivenUp() {
        const QString error = QStringLiteral("Windows error org.bluez.Error.AuthenticationFailed: \"Authentication Failed\".");
        {
            FrontWindow w(state_);
            auto stack = controller(false);
            stack->pairFailures = 100;
            const QStringList log = runToEnd(w, stack, true);
            QCOMPARE(stack->pairCalls.load(), TthdDiscover::kPairTries);
            QCOMPARE(log.count(error), TthdDiscover::kPairTries);
            QVERIFY(!log.contains(msg("InstallSerialPort")));
            QCOMPARE(stack->removeCalls.load(), 0);
            QCOMPARE(w.fronts, TthdDiscover::kPairTries);
        }
        {
            FrontWindow w(state_);
            auto stack = controller(false);
            stack->pairFailures = 2;
            stack->serviceFailures = 100;
            const QStringList log = runToEnd(w, stack, true);
            QCOMPARE(stack->pairCalls.load(), 3);
            QCOMPARE(stack->serviceCalls.load(), TthdDiscover::kServiceTries);
            QCOMPARE(log.count(error), 2 + TthdDiscover::kServiceTries);
            QVERIFY(!log.contains(msg("InstallationStarted")));
            const int removing = int(log.indexOf(QStringLiteral("Uninstalling \"Drevanilux2\"...")));
            QVERIFY(removing > 0);
            QCOMPARE(log.mid(removing + 1, 3),
                     (QStringList{msg("UninstallSuccessful"), msg("TryColdStart"), msg("DiscoveryCompleted")}));
        }
        {
            // A name that arrives on the third read is good enough.
            FrontWindow w(state_);
            auto stack = controller(false);
            stack->namelessReads = 2;
            const QStringList log = runToEnd(w, stack, true);
            QCOMPARE(log.count(msg("NoDeviceName")), 2);
            QVERIFY(log.contains(msg("InstallationStarted")));
        }
    }

    // A run stops waiting at once when told to end, and a refused hand-over (the
    // window closing) ends it without another line.
    void runEndsPromptlyWhenReleased() {
        FrontWindow w(state_);
        auto stack = controller(false);
        stack->namelessReads = 1000;
        auto host = std::make_shared<HeadlessLinkHost>(w);
        auto run = std::make_shared<TthdDiscover>(host, stack, true, DiscoverTiming{60000, 1});
        QString error;
        QVERIFY(run->Start(error));
        QVERIFY(host->WaitUntil([](LinkWindow& lw) { return static_cast<FrontWindow&>(lw).count(QStringLiteral("log"), msg("NoDeviceName")) == 1; }, 5000));
        QElapsedTimer t;
        t.start();
        run->Terminate();
        QVERIFY(QTest::qWaitFor([&] { return run->Finished(); }, 5000));
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));

        FrontWindow w2(state_);
        auto host2 = std::make_shared<HeadlessLinkHost>(w2);
        auto run2 = std::make_shared<TthdDiscover>(host2, stack, false, DiscoverTiming{1, 1});
        host2->Close();
        QVERIFY(run2->Start(error));
        QVERIFY(QTest::qWaitFor([&] { return run2->Finished(); }, 5000));
        QCOMPARE(host2->Calls(), 0);
    }

    void bluetoothPortNamesAndEntries() {
        QCOMPARE(BluetoothPortAddress(QStringLiteral("bluetooth:aa:bb:cc:dd:ee:0f")), QStringLiteral("AA:BB:CC:DD:EE:0F"));
        for (const char* bad : {"bluetooth:aa:bb:cc:dd:ee", "bluetooth:aa:bb:cc:dd:ee:0g", "/dev/rfcomm0", "rfcomm0", ""})
            QVERIFY2(BluetoothPortAddress(QString::fromLatin1(bad)).isEmpty(), bad);

        BtDevice ok;
        ok.address = QStringLiteral("00:11:22:33:44:55");
        ok.name = QString::fromLatin1(kControllerName);
        ok.paired = ok.trusted = true;
        BtDevice untrusted = ok, otherName = ok, broken = ok;
        untrusted.trusted = false;
        otherName.name += QLatin1Char(' ');
        broken.problem = {QStringLiteral("e"), QStringLiteral("m")};
        const QStringList entries = BluetoothPortEntries({untrusted, ok, otherName, broken});
        QCOMPARE(entries, QStringList{QStringLiteral("bluetooth:00:11:22:33:44:55 (Drevanilux2)")});
        // The link takes the text before the first blank, and that reaches the RFCOMM side.
        QStringList bt, serial;
        LinkPort port([&] { return std::make_unique<CountingPort>(bt); }, [&] { return std::make_unique<CountingPort>(serial); });
        QVERIFY(port.open(TthdCom::PortNameOf(entries.first())));
        QVERIFY(port.open(QStringLiteral("/dev/rfcomm0")));
        QVERIFY(port.open(QStringLiteral("bluetooth:00:11:22:33:44:66")));
        QCOMPARE(bt, (QStringList{QStringLiteral("bluetooth:00:11:22:33:44:55"), QStringLiteral("bluetooth:00:11:22:33:44:66")}));
        QCOMPARE(serial, QStringList{QStringLiteral("/dev/rfcomm0")});
    }

    // The menu items: one run at a time, offered only while none is active; the
    // uninstall item first lets go of the port.
    void windowRunsOneAtATime() {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Drevanilux2")).clear();
        SaveLastPort(QStringLiteral("bluetooth:00:11:22:33:44:55 (Drevanilux2)"), {});
        auto stack = controller(false);
        stack->namelessReads = 1000;
        QList<std::shared_ptr<TthdDiscover>> runs;
        WindowOptions o;
        o.watchSystem = false;
        o.useTaskbar = false;
        o.startLink = [](const QString&, bool) {};
        o.makeDiscover = [&](std::shared_ptr<LinkHost> host, bool install) {
            runs << std::make_shared<TthdDiscover>(host, stack, install, DiscoverTiming{60000, 1});
            return runs.last();
        };
        TfrmQuenda w(o);
        QVERIFY(w.linkRunning());
        auto* discover = w.findChild<QAction*>(QStringLiteral("mnuDiscover"));
        auto* remove = w.findChild<QAction*>(QStringLiteral("mnuRemove"));
        auto* menu = w.findChild<QMenu*>(QStringLiteral("mnuConnectionMenu"));

        discover->trigger();
        QCOMPARE(w.pages()->currentWidget()->objectName(), QStringLiteral("tsMessages"));
        QCOMPARE(runs.size(), 1);
        QVERIFY(runs[0]->Install());
        QTRY_VERIFY(w.messageLog()->toPlainText().contains(msg("NoDeviceName")));
        emit menu->aboutToShow();
        QVERIFY(!discover->isEnabled() && !remove->isEnabled());
        emit menu->aboutToHide();
        w.mnuDiscoverClick();
        w.mnuRemoveClick();
        QCOMPARE(runs.size(), 1);
        QVERIFY(w.linkRunning());

        runs[0]->Terminate();
        QTRY_VERIFY(runs[0]->Finished());
        emit menu->aboutToShow();
        QVERIFY(discover->isEnabled() && remove->isEnabled());
        remove->trigger();
        QCOMPARE(runs.size(), 2);
        QVERIFY(!runs[1]->Install());
        QVERIFY(!w.linkRunning());
        QVERIFY(w.portName().isEmpty());
        QString remembered;
        QVERIFY(!LoadLastPort(remembered, {}));
    }
};

QTEST_MAIN(TestDiscover)
#include "test_discover.moc"

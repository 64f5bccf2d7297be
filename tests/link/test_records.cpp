#include "link/device_state.h"

#include <QTest>
#include <cstring>

using namespace quenda;

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    // Sizes and field coverage are checked at compile time; what is left is that each
    // kind finds its own table.
    void eachKindFindsItsTable() {
        for (int k = int(RecordKind::DeviceId); k <= int(RecordKind::FirmwareBlock); ++k)
            QCOMPARE(int(recordDesc(RecordKind(k)).kind), k);
    }

    // Generic access agrees with the struct members, including sign and width cuts.
    void genericFieldAccess() {
        TExpert e{};
        const auto* off = findField(RecordKind::Expert, "TempOffset");
        QVERIFY(off);
        writeField(&e, *off, 0, -3);
        QCOMPARE(int(e.TempOffset), -3);
        QCOMPARE(readField(&e, *off), int64_t(-3));
        const auto* ci = findField(RecordKind::Expert, "ChartInterval");
        writeField(&e, *ci, 0, 70000); // cut to 16 bits
        QCOMPARE(int(e.ChartInterval), 70000 & 0xFFFF);
        TConfig c{};
        writeField(&c, *findField(RecordKind::Config, "Mode"), 0, 257);
        QCOMPARE(int(c.Mode), 1);
        TInfo i{};
        const auto* ch = findField(RecordKind::Info, "Channel");
        writeField(&i, *ch, 11, 4096);
        QCOMPARE(int(i.Channel[11]), 4096);
        writeField(&i, *ch, 12, 1); // outside the array: ignored
        QCOMPARE(readField(&i, *ch, 12), int64_t(0));
        THealth h{};
        writeField(&h, *findField(RecordKind::Health, "Counter"), 8, 0x123456);
        QCOMPARE(healthCounter(h, 8), 0x123456u);
        QCOMPARE(int(h.PowerCycles), 0);
    }

    void dateFields() {
        TInfo i{};
        i.Year = 26;
        i.Month = 12;
        i.Day = 6;
        QCOMPARE(2000 + i.Year, 2026);
    }

    void setInfoMasks_data() {
        QTest::addColumn<uint>("bit");
        QTest::addColumn<bool>("clock");
        QTest::addColumn<bool>("levels");
        QTest::addColumn<bool>("row");
        QTest::newRow("time") << uint(rqSetTime) << true << false << false;
        QTest::newRow("channels") << uint(rqSetChannels) << false << true << false;
        QTest::newRow("row") << uint(rqSetRow) << false << false << true;
    }
    void setInfoMasks() {
        QFETCH(uint, bit);
        QFETCH(bool, clock);
        QFETCH(bool, levels);
        QFETCH(bool, row);
        DeviceState s;
        s.Info.Minute = 17;
        s.Info.CurrentRow = 3;
        for (int c = 0; c < 12; ++c) s.Info.Channel[c] = int16_t(100 * c);
        s.raise(bit);
        TransferBuffer b;
        s.loadInfo(b, bit);
        QVERIFY(!s.isRaised(bit));
        DeviceState::applySetInfoMask(b, bit);
        TInfo sent;
        std::memcpy(&sent, b.Payload, sizeof sent);
        QCOMPARE(int(sent.Minute), clock ? 17 : -1);
        QCOMPARE(int(sent.CurrentRow), row ? 3 : -1);
        for (int c = 0; c < 12; ++c) QCOMPARE(int(sent.Channel[c]), levels ? 100 * c : -1);
        // The block keeps its own values.
        QCOMPARE(int(s.Info.Minute), 17);
        QCOMPARE(int(s.Info.Channel[5]), 500);
        if (row) {
            QCOMPARE(int(b.Payload[7]), 0xFF);
            QCOMPARE(int(b.Payload[4]), 3);
            QCOMPARE(int(b.Payload[17]), 0xFF);
            QCOMPARE(int(b.Payload[18]), 0xFF);
        }
    }

    // The link takes the line count from the block only once every Info record it
    // handed over has reached the window, also one the window dropped for a newer edit.
    void rowCountSettlesWhenInfoIsStored() {
        DeviceState s;
        TransferBuffer b;
        b.Payload[0] = 9; // RowCount
        int rows = -1;
        s.infoOnItsWay();
        s.infoOnItsWay();
        QVERIFY(!s.settledRowCount(rows));
        s.raise(rqSetChannels);
        s.storeInfo(b); // dropped: the edit is newer
        QVERIFY(!s.settledRowCount(rows));
        s.clearRequests(rqSetChannels);
        s.storeInfo(b);
        QVERIFY(s.settledRowCount(rows));
        QCOMPARE(rows, 9);
    }

    // A read arriving while a write of the same record is pending is dropped; a read
    // raised again before the record arrived stays raised.
    void storeDropsWhileWritePending() {
        DeviceState s;
        TransferBuffer b;
        b.Payload[0] = 7; // RowCount
        s.raise(rqGetInfo | rqSetChannels);
        s.storeInfo(b);
        QCOMPARE(int(s.Info.RowCount), 0);
        QVERIFY(s.isRaised(rqGetInfo));
        QVERIFY(s.isRaised(rqSetChannels));
        s.clearRequests(rqSetChannels);
        s.storeInfo(b);
        QCOMPARE(int(s.Info.RowCount), 7);
        QCOMPARE(int(s.Schedule.size()), 7);
        QCOMPARE(int(s.UploadMarks.size()), 7);

        b.Payload[0] = 2; // Mode in a config reply
        s.raise(rqGetConfig | rqSetConfig);
        s.storeConfig(b);
        QCOMPARE(int(s.Config.Mode), 0);
        QVERIFY(s.isRaised(rqGetConfig));
        s.clearRequests(rqSetConfig);
        s.storeConfig(b);
        QCOMPARE(int(s.Config.Mode), 2);

        s.raise(rqSetExpert);
        s.storeExpert(b);
        QCOMPARE(int(s.Expert.FanMode), 0);
        s.raise(rqSetExpertWeather);
        s.storeExpertWeather(b);
        QCOMPARE(int(s.ExpertWeather.CloudStep), 0);
    }

    void rowCountZeroEmptiesSchedule() {
        DeviceState s;
        s.resizeSchedule(20);
        s.markRowsForUpload(0, 19);
        TransferBuffer b; // RowCount 0
        s.storeInfo(b);
        QVERIFY(s.Schedule.empty());
        QVERIFY(s.UploadMarks.empty());
    }

    void storeScheduleRowIgnoresBadIndex_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("stored");
        QTest::newRow("first") << 0 << true;
        QTest::newRow("last") << 19 << true;
        QTest::newRow("beyond") << 20 << false;
        QTest::newRow("200") << 200 << false; // negative as s8
        QTest::newRow("negative") << 0xFF << false;
    }
    void storeScheduleRowIgnoresBadIndex() {
        QFETCH(int, index);
        QFETCH(bool, stored);
        DeviceState s;
        s.resizeSchedule(20);
        TransferBuffer b;
        b.Payload[0] = uint8_t(index);
        b.Payload[1] = 9; // Hour
        s.storeScheduleRow(b);
        int hits = 0;
        for (const auto& r : s.Schedule) hits += r.Hour == 9;
        QCOMPARE(hits, stored ? 1 : 0);
    }

    // Rows 3 and 7 go out in order; the third pick finds nothing and clears the bit.
    void pickScheduleRowOrder() {
        DeviceState s;
        s.Info.RowCount = 10;
        s.resizeSchedule(10);
        for (int n : {3, 7}) { // read lines only go out
            TransferBuffer in;
            in.Payload[0] = uint8_t(n);
            s.storeScheduleRow(in);
        }
        s.Schedule[7].Minute = 42;
        s.markRowsForUpload(3, 3);
        s.markRowsForUpload(7, 7);
        TransferBuffer b;
        QVERIFY(s.pickScheduleRow(b));
        QCOMPARE(int(b.Payload[0]), 3);
        QVERIFY(s.pickScheduleRow(b));
        QCOMPARE(int(b.Payload[0]), 7);
        QCOMPARE(int(b.Payload[2]), 42);
        QVERIFY(s.isRaised(rqSetSchedule));
        QVERIFY(!s.pickScheduleRow(b));
        QVERIFY(!s.isRaised(rqSetSchedule));
    }

    void clockFromComputer() {
        DeviceState s;
        s.Info.ClockSpare = 9;
        s.setClock({2026, 12, 6, 23, 59, 58, 999});
        QCOMPARE(int(s.Info.Year), 26);
        QCOMPARE(int(s.Info.Month), 12);
        QCOMPARE(int(s.Info.Day), 6);
        QCOMPARE(int(s.Info.Centisecond), 99);
        QCOMPARE(int(s.Info.ClockSpare), 0);
        s.setClock({2026, 1, 1, 0, 0, 0, 454});
        QCOMPARE(int(s.Info.Centisecond), 45);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"

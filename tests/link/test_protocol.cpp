// The line protocol against a scripted port: line formats, reply checks, failure
// results, log texts and debug lines.
#include "common/read_commands.h"
#include "common/scripted_port.h"
#include "lang/texts.h"
#include "link/protocol.h"

#include <QTest>
#include <cstring>

using namespace quenda;
using quenda::testing::ScriptedPort;

namespace {

QByteArray hexOf(const QByteArray& bytes, bool lower = false) {
    QByteArray h = bytes.toHex().toUpper();
    return lower ? h.toLower() : h;
}

// A well-formed read reply: echo, payload digit pairs, line end.
QByteArray reply(uint8_t code, const QByteArray& payload, char end = '\r', bool lower = false) {
    return hexOf(QByteArray(1, char(code))) + hexOf(payload, lower) + end;
}

QByteArray pattern(int n, int seed = 1) {
    QByteArray b(n, 0);
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 37 + seed * 11 + 5) & 0xFF);
    return b;
}

struct Fixture {
    ScriptedPort port;
    QStringList log;
    Protocol proto{port, [this](const QString& s) { log << s; }};
    Fixture() {
        port.open(QStringLiteral("COM5"));
        proto.setClock([this] { return port.nowMs(); });
    }
};

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    // Every read command: the reply of exactly 2 * (n + 1) + 1 characters fills the buffer.
    void queryReadsExactLength_data() {
        testing::addReadCommandRows();
        QTest::newRow("GetBootInfo") << 0x81 << 6;
        QTest::newRow("largest") << 0x81 << 132;
    }
    void queryReadsExactLength() {
        QFETCH(int, code);
        QFETCH(int, n);
        Fixture f;
        const QByteArray payload = pattern(n, code);
        // Trailing characters stay unread; the purge before the next command takes them.
        f.port.queueReply(reply(uint8_t(code), payload, '\n') + "XYZ");
        QVERIFY(f.proto.Query(uint8_t(code), n));
        QCOMPARE(f.port.writes(), QList<QByteArray>{hexOf(QByteArray(1, char(code))) + '\n'});
        QCOMPARE(int(f.proto.buffer().Echo), code);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(f.proto.buffer().Payload), n), payload);
        QCOMPARE(f.port.pending(), QByteArray("XYZ"));
        QCOMPARE(f.port.timeouts(), 0);
        QVERIFY(f.log.isEmpty());
    }

    void getDeviceWithCarriageReturn() {
        Fixture f;
        f.port.queueReply("800505\r");
        QVERIFY(f.proto.Query(0x80, 2));
        QCOMPARE(int(f.proto.buffer().Echo), 0x80);
        QCOMPARE(int(f.proto.buffer().Payload[0]), 5);
        QCOMPARE(int(f.proto.buffer().Payload[1]), 5);
    }

    // Short reply: the read runs into the time-out and fails without a message.
    void shortReplyWaitsForTimeout() {
        Fixture f;
        f.proto.setDebug(true);
        f.port.queueReply("8005\n");
        QVERIFY(!f.proto.Query(0x80, 2));
        QCOMPARE(f.port.timeouts(), 1);
        QCOMPARE(f.port.nowMs(), qint64(5000));
        QVERIFY(f.port.isOpen());
        QCOMPARE(f.log, QStringList({"OUT: \"80\" 0 ms", "IN: \"8005\n\" 5000 ms"}));
    }

    void lowerCaseHexAccepted() {
        Fixture f;
        QByteArray payload = pattern(52);
        payload[17] = char(0xAB);
        payload[18] = char(0xCD);
        f.port.queueReply(reply(0x81, payload, '\n', true));
        QVERIFY(f.port.writes().isEmpty());
        QVERIFY(f.proto.Query(0x81, 52));
        TInfo info;
        std::memcpy(&info, f.proto.buffer().Payload, sizeof info);
        QCOMPARE(uint16_t(info.Channel[0]), uint16_t(0xCDAB));
    }

    // Replies of the right length that break a rule fail silently and keep the port open.
    void malformedRepliesFailSilently_data() {
        QTest::addColumn<QByteArray>("text");
        const QByteArray good = reply(0x81, pattern(52), '\n');
        QByteArray wrongEcho = good;
        wrongEcho[1] = '2';
        QByteArray noEnd = good;
        noEnd[noEnd.size() - 1] = '0';
        QTest::newRow("echo 82 for 81") << wrongEcho;
        QTest::newRow("no line end") << noEnd;
        QTest::newRow("one character") << QByteArray("8");
        QTest::newRow("one short") << good.left(good.size() - 1);
        QTest::newRow("lower-case echo of another code") << QByteArray("8a") + good.mid(2);
    }
    void malformedRepliesFailSilently() {
        QFETCH(QByteArray, text);
        Fixture f;
        f.port.queueReply(text);
        QVERIFY(!f.proto.Query(0x81, 52));
        QVERIFY(f.log.isEmpty());
        QVERIFY(f.port.isOpen());
    }

    // Replies that keep arriving late fail the echo check one after another: the fifth
    // in a row logs once that the device is too slow; a good reply starts the count anew.
    void lateRepliesReportedOnce() {
        Fixture f;
        const QByteArray late = reply(0x82, pattern(52)); // the previous command's tail
        auto runs = [&](int failures) {
            for (int i = 0; i < failures; ++i) {
                f.port.queueReply(late);
                QVERIFY(!f.proto.Query(0x81, 52));
            }
        };
        runs(4);
        QVERIFY(f.log.isEmpty());
        runs(3);
        QCOMPARE(f.log.size(), 1);
        QVERIFY(f.log.first().contains(QStringLiteral("too slowly")));
        f.port.queueReply(reply(0x81, pattern(52)));
        QVERIFY(f.proto.Query(0x81, 52));
        runs(4);
        QCOMPARE(f.log.size(), 1);
        runs(1);
        QCOMPARE(f.log.size(), 2);
    }

    void nothingReceivedClosesThePort() {
        Fixture f;
        f.port.queueSilence();
        QVERIFY(!f.proto.Query(0x80, 2));
        QCOMPARE(f.log, QStringList{Msg("NoData")});
        QVERIFY(!f.port.isOpen());
        QCOMPARE(f.port.closes(), 1);
    }

    // A pair that is not hexadecimal logs and fails; the pairs before it stay stored.
    void nonHexPairLogsAndFails() {
        Fixture f;
        f.proto.buffer().Payload[2] = 0x77;
        f.port.queueReply("80050G\r");
        QVERIFY(!f.proto.Query(0x80, 2));
        QCOMPARE(f.log, QStringList{"'0G' is not a valid hexadecimal number"});
        QCOMPARE(int(f.proto.buffer().Echo), 0x80);
        QCOMPARE(int(f.proto.buffer().Payload[0]), 5);
        QCOMPARE(int(f.proto.buffer().Payload[2]), 0x77);
    }

    void nonPrintablePairIsEscaped() {
        Fixture f;
        f.port.queueReply(QByteArray("80\x01Z05\r", 7));
        QVERIFY(!f.proto.Query(0x80, 2));
        QCOMPARE(f.log, QStringList{"'\\x01Z' is not a valid hexadecimal number"});
    }

    // Debug mode: name, OUT with the code, IN with every received character.
    void debugLinesOfGetInfo() {
        Fixture f;
        f.proto.setDebug(true);
        f.port.setCosts(2, 9);
        const QByteArray text = reply(0x81, pattern(52), '\r');
        QCOMPARE(text.size(), 107);
        f.port.queueReply(text);
        f.proto.announce("GetInfo");
        QVERIFY(f.proto.Query(0x81, 52));
        QCOMPARE(f.log.size(), 3);
        QCOMPARE(f.log[0], QString("GetInfo"));
        QCOMPARE(f.log[1], QString("OUT: \"81\" 2 ms"));
        QCOMPARE(f.log[2], "IN: \"" + QString::fromLatin1(text) + "\" 9 ms");
    }

    // Device text that looks like a placeholder stays as received.
    void debugLineKeepsPercentSigns() {
        Fixture f;
        f.proto.setDebug(true);
        f.port.setCosts(2, 9);
        f.port.queueReply(QByteArray("%3%1\r"));
        QVERIFY(!f.proto.Query(0x80, 1));
        QCOMPARE(f.log.value(1), QString("IN: \"%3%1\r\" 9 ms"));
    }

    void announceIsSilentOutsideDebug() {
        Fixture f;
        f.proto.announce("GetInfo");
        QVERIFY(f.log.isEmpty());
    }

    // The IN line stops at the first zero byte of the receive area.
    void debugInLineStopsAtZeroByte() {
        Fixture f;
        f.proto.setDebug(true);
        f.port.queueReply(QByteArray("80\0"
                                     "505\r",
                                     7));
        QVERIFY(!f.proto.Query(0x80, 2));
        QCOMPARE(f.log.value(1), QString("IN: \"80\" 0 ms"));
    }

    // Write lines: code, upper-case pairs, line feed; one acknowledgement of any value.
    void sendLineFormats_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("length");
        QTest::newRow("SetInfo") << 0x01 << 52 << 107;
        QTest::newRow("SetConfig") << 0x02 << 31 << 65;
        QTest::newRow("SetSchedule") << 0x03 << 32 << 67;
        QTest::newRow("SetExpert") << 0x05 << 56 << 115;
        QTest::newRow("SetExpertWeather") << 0x06 << 69 << 141;
        QTest::newRow("SaveEEPROM") << 0x7F << 1 << 5;
        QTest::newRow("firmware block") << 0x02 << 66 << 135;
        QTest::newRow("reset") << 0x01 << 6 << 15;
    }
    void sendLineFormats() {
        QFETCH(int, code);
        QFETCH(int, n);
        QFETCH(int, length);
        Fixture f;
        TransferBuffer b;
        const QByteArray payload = pattern(n, 3);
        std::memcpy(b.Payload, payload.constData(), size_t(n));
        f.port.queueReply(QByteArray(1, '\0'));
        QVERIFY(f.proto.Send(b, uint8_t(code), n));
        const QByteArray line = f.port.lastWrite();
        QCOMPARE(line.size(), length);
        QCOMPARE(line, hexOf(QByteArray(1, char(code))) + hexOf(payload) + '\n');
        QCOMPARE(f.port.purges(), 1);
    }

    void setScheduleOfRowTwo() {
        Fixture f;
        TransferBuffer b;
        b.Payload[0] = 2;
        b.Payload[1] = 0xAF;
        f.port.queueReply("K");
        QVERIFY(f.proto.Send(b, 0x03, 32));
        QVERIFY(f.port.lastWrite().startsWith("0302AF00"));
    }

    // A missing acknowledgement fails without a message and leaves the port open.
    void sendWithoutAcknowledgement() {
        Fixture f;
        TransferBuffer b;
        f.port.queueSilence();
        QVERIFY(!f.proto.Send(b, 0x05, 56));
        QVERIFY(f.log.isEmpty());
        QVERIFY(f.port.isOpen());
        QCOMPARE(f.port.timeouts(), 1);
    }

    void sendDebugLines() {
        Fixture f;
        f.proto.setDebug(true);
        TransferBuffer b;
        b.Payload[0] = 1;
        f.port.queueReply("K\n");
        QVERIFY(f.proto.Send(b, 0x7F, 1));
        f.port.queueSilence();
        QVERIFY(!f.proto.Send(b, 0x7F, 1));
        QCOMPARE(f.log, QStringList({"OUT: \"7F01\n\" 0 ms", "IN: \"K\" 0 ms", "OUT: \"7F01\n\" 0 ms",
                                     "IN: \"\" 5000 ms"}));
    }

    // What runs while a line is on its way: once, after the line was written and before
    // the acknowledgement is read; not at all when the line could not be written.
    void workWhileOnTheLine_data() {
        QTest::addColumn<int>("script"); // 0 acknowledged, 1 silence, 2 write error
        QTest::addColumn<bool>("sent");
        QTest::addColumn<int>("calls");
        QTest::newRow("acknowledged") << 0 << true << 1;
        QTest::newRow("not acknowledged") << 1 << false << 1;
        QTest::newRow("write failed") << 2 << false << 0;
    }
    void workWhileOnTheLine() {
        QFETCH(int, script);
        QFETCH(bool, sent);
        QFETCH(int, calls);
        Fixture f;
        f.port.setCosts(3, 7);
        if (script == 0) f.port.queueReply("K");
        if (script == 1) f.port.queueSilence();
        if (script == 2) f.port.queueWriteError("Input/output error");
        TransferBuffer b;
        QList<qint64> at;
        QCOMPARE(f.proto.Send(b, 0x02, 66, [&] { at << f.port.nowMs(); }), sent);
        QCOMPARE(at.size(), calls);
        if (calls) QCOMPARE(at[0], qint64(3)); // the write's time has passed, the read's not yet
    }

    // Port errors are logged with their text and fail the command.
    void portErrorsAreLogged() {
        Fixture f;
        TransferBuffer b;
        f.port.queueWriteError("Input/output error");
        QVERIFY(!f.proto.Query(0x81, 52));
        f.port.queueReadError("Resource temporarily unavailable");
        QVERIFY(!f.proto.Send(b, 0x01, 52));
        f.port.queueReadError("Device gone");
        QVERIFY(!f.proto.Query(0x80, 2));
        QCOMPARE(f.log,
                 QStringList({"Input/output error", "Resource temporarily unavailable", "Device gone"}));
        QVERIFY(f.port.isOpen()); // only a silent read closes it
        f.port.close();
        f.log.clear();
        QVERIFY(!f.proto.Query(0x80, 2));
        QVERIFY(!f.proto.Send(b, 0x01, 52));
        QCOMPARE(f.log, QStringList({"Port not open", "Port not open"}));
    }

    // Whatever arrived before the command is purged, not taken as its reply.
    void unsolicitedDataIsPurged() {
        Fixture f;
        f.port.feed("810000\n");
        f.port.queueReply("800505\n");
        QVERIFY(f.proto.Query(0x80, 2));
        QCOMPARE(int(f.proto.buffer().Payload[0]), 5);
    }

    void countsOutsideTheBufferAreRefused() {
        Fixture f;
        TransferBuffer b;
        QVERIFY(!f.proto.Query(0x81, 133));
        QVERIFY(!f.proto.Query(0x81, -1));
        QVERIFY(!f.proto.Send(b, 0x01, 133));
        QVERIFY(!f.proto.Send(b, 0x01, -1));
        QVERIFY(f.port.writes().isEmpty());
    }

    void sendRawWritesWithoutReading() {
        Fixture f;
        f.proto.setDebug(true);
        f.port.queueReply("garbage");
        f.proto.SendRaw("7F00");
        QCOMPARE(f.port.writes(), QList<QByteArray>{"7F00\n"});
        QCOMPARE(f.port.purges(), 1);
        QCOMPARE(f.port.pending(), QByteArray("garbage"));
        QCOMPARE(f.log, QStringList{"OUT: \"7F00\n\" 0 ms"});
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "test_protocol.moc"

// Firmware files and the block plan: what is accepted, what is refused with which
// message, and which bytes of the image a file may touch.
#include "lang/texts.h"
#include "common/firmware_file.h"
#include "link/firmware.h"

#include <QTest>

using namespace quenda;

using quenda::testing::firmwareFile;
using quenda::testing::leS32;

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LoadLanguage(LanguageChoice::English); }

    // Each file: its verdict, its status text, and whether it may change the image.
    void reader_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message"); // the start of the status text
        QTest::addColumn<bool>("touchesImage");
        const QByteArray good = firmwareFile(0x10, 0x1FFF);
        QTest::newRow("good") << good << true << "" << true;
        QTest::newRow("checksum 5 != 6") << leS32(1) + leS32(2) + QByteArray("\x01\x02") + leS32(5) << false
                                         << "Checksum error in file (5 != 6)!" << true;
        QTest::newRow("one byte, no data") << firmwareFile(0x100, 0x100) << false
                                           << "Error: File does not contain data!" << true;
        QTest::newRow("longer than 64 KiB") << firmwareFile(0, 0xFFFF) << false << "" << false;
        QTest::newRow("first below the image") << firmwareFile(-4, 0x10) << false << "Error while parsing!" << false;
        QTest::newRow("last beyond the image") << leS32(0xFFF0) + leS32(0x1000F) + QByteArray(32, 1) << false
                                               << "Error while parsing!" << false;
        // The missing checksum counts as 0; the missing data bytes leave the image as it was.
        QTest::newRow("truncated") << good.left(good.size() - 100) << false << "Checksum error in file (0 != "
                                   << true;
        QTest::newRow("empty") << QByteArray() << false << "Checksum error in file (0 != 65536)!" << false;
    }
    void reader() {
        QFETCH(QByteArray, file);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        QFETCH(bool, touchesImage);
        auto image = std::make_unique<FirmwareImage>();
        image->fill(0);
        const FirmwareFileCheck c = ReadFirmwareFile(file, *image);
        QCOMPARE(c.accepted(), accepted);
        QVERIFY2(message.isEmpty() ? c.message().isEmpty() : c.message().startsWith(message), qPrintable(c.message()));
        const bool touched = std::any_of(image->begin(), image->end(), [](uint8_t b) { return b != 0; });
        if (!touchesImage) QVERIFY(!touched);
        if (accepted) {
            QCOMPARE(c.firstAddress, 0x10);
            QCOMPARE(c.lastAddress, 0x1FFF);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(image->data()) + 0x10, 0x1FF0), file.mid(8, 0x1FF0));
            QCOMPARE(int((*image)[0x0F]), 0);
            QCOMPARE(int((*image)[0x2000]), 0);
        }
    }

    // Whole pages, progress texts and the room below the bootloader.
    void plan() {
        const FlashPlan p = PlanFlash(0, 0x1FFF, 128, 65536);
        QCOMPARE(p.start, 0u);
        QCOMPARE(p.end, 0x2000u);
        QCOMPARE(p.blocks(), 128);
        QCOMPARE(p.progressText(0), QStringLiteral("0x0000 (0 %)"));
        QCOMPARE(p.progressText(0x1FC0), QStringLiteral("0x1FC0 (99 %)"));
        QCOMPARE(p.doneBefore(0x1000), uint64_t(4096));

        QCOMPARE(PlanFlash(0x10, 0x1FFF, 64, 65536).start, 0u); // pages below 128 count as 128
        QCOMPARE(PlanFlash(0x300, 0x1FFF, 512, 65536).start, 0x200u);
        // A last byte at the start of a page still goes out.
        QCOMPARE(PlanFlash(0, 0x2000, 128, 65536).end, 0x2080u);

        const int64_t room = 65536 - 1024;
        QCOMPARE(PlanFlash(0, int32_t(room - 1), 128, 65536).excess, int64_t(0));
        QCOMPARE(PlanFlash(0, int32_t(room), 128, 65536).excess, int64_t(1));
        QVERIFY(PlanFlash(0, 0x10, 128, 512).excess > 0); // a flash smaller than the bootloader
        // A page size that is no power of two still gives whole blocks inside the image.
        const FlashPlan odd = PlanFlash(0x100, 0xFFF0, 0xFFFF, 65536);
        QVERIFY(odd.start <= 0x100 && odd.end >= 0xFFF1 && odd.end <= 0x10000);
        QCOMPARE(odd.total % 64, 0u);
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "test_firmware.moc"

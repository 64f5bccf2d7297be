// Settings files through the records' field tables: export, both imports, bad input,
// failed writes and backups.
#include "files/backup.h"
#include "files/settings_file.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <random>
#include <unistd.h>
#include <pwd.h>

using namespace quenda;

namespace {

void setRows(DeviceState& s, int rows) {
    s.Info.RowCount = uint8_t(rows);
    s.resizeSchedule(rows);
}

void randomize(DeviceState& s, std::mt19937& rng) {
    auto bytes = [&](void* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) static_cast<uint8_t*>(p)[i] = uint8_t(rng());
    };
    bytes(&s.Config, sizeof s.Config);
    bytes(&s.Expert, sizeof s.Expert);
    bytes(&s.ExpertWeather, sizeof s.ExpertWeather);
    for (auto& r : s.Schedule) bytes(&r, sizeof r);
}

// The first field (record and key) in which two states differ, or empty.
QString firstDifference(DeviceState& a, DeviceState& b) {
    auto compare = [](RecordKind k, const void* x, const void* y, const QString& where) -> QString {
        for (const auto& f : recordDesc(k).fields)
            for (int i = 0; i < f.count; ++i)
                if (readField(x, f, i) != readField(y, f, i))
                    return where + QLatin1Char(' ') + QString::fromLatin1(f.key.data(), int(f.key.size())) +
                           QString::number(i);
        return {};
    };
    QString d = compare(RecordKind::Config, &a.Config, &b.Config, QStringLiteral("Config"));
    if (d.isEmpty()) d = compare(RecordKind::Expert, &a.Expert, &b.Expert, QStringLiteral("Expert"));
    if (d.isEmpty()) d = compare(RecordKind::ExpertWeather, &a.ExpertWeather, &b.ExpertWeather, QStringLiteral("Weather"));
    if (a.Schedule.size() != b.Schedule.size()) return QStringLiteral("schedule size");
    for (std::size_t i = 0; d.isEmpty() && i < a.Schedule.size(); ++i)
        d = compare(RecordKind::ScheduleRow, &a.Schedule[i], &b.Schedule[i], QStringLiteral("line %1").arg(i));
    return d;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList sectionNames(const QByteArray& text) {
    QStringList out;
    for (const auto& m : QRegularExpression(QStringLiteral("^\\[(.*)\\]\\r$"), QRegularExpression::MultilineOption)
                             .globalMatch(QString::fromLatin1(text)))
        out << m.captured(1);
    return out;
}

// Drops to an ordinary user's rights while alive (as root, permissions would not apply).
struct Unprivileged {
    uid_t was = geteuid();
    bool ok = true;
    Unprivileged() {
        if (was != 0) return;
        const passwd* nobody = getpwnam("nobody");
        ok = nobody && seteuid(nobody->pw_uid) == 0;
    }
    ~Unprivileged() {
        if (was == 0) (void)seteuid(0);
    }
};

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    // Random records and a 48-line schedule, exported and imported into cleared
    // records, come back field for field; the file has its fixed shape.
    void roundTripThroughFieldTables() {
        std::mt19937 rng(20261208);
        for (int round = 0; round < 20; ++round) {
            DeviceState out, in;
            setRows(out, 48);
            setRows(in, 48);
            randomize(out, rng);
            const auto text = mergeSettingsText(out, {});
            QVERIFY(text);
            applyConfigurationText(in, *text);
            applyScheduleText(in, *text);
            QCOMPARE(firstDifference(out, in), QString());

            if (round > 0) continue;
            const QByteArray bytes = QByteArray::fromStdString(*text);
            QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
            QVERIFY(bytes.endsWith("\r\n\r\n"));
            QStringList expected = {"Config", "Weather", "Names", "RC5", "TimeZone"};
            for (int i = 0; i < 48; ++i) expected << QString::number(i);
            QCOMPARE(sectionNames(bytes), expected);
            // Every section ends with one empty line before the next.
            QCOMPARE(bytes.count("\r\n\r\n["), qsizetype(expected.size() - 1));
            QVERIFY(bytes.contains("LightningP=" + QByteArray::number(out.ExpertWeather.LightningP) +
                                   "\r\nBalance0=" + QByteArray::number(out.ExpertWeather.Balance[0]) +
                                   "\r\nMoonColor160=" + QByteArray::number(out.ExpertWeather.MoonColor16[0]) +
                                   "\r\nWeatherDelay0="));
        }
    }

    // A device compared with its backup: a changed configuration field or schedule line
    // held differs; lines the device no longer holds and an equal device do not.
    void compareWithBackup_data() {
        QTest::addColumn<int>("change"); // 0 none, 1 config, 2 weather, 3 line held, 4 fewer lines, 5 no file
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("differs");
        QTest::newRow("equal") << 0 << true << false;
        QTest::newRow("config field") << 1 << true << true;
        QTest::newRow("weather field") << 2 << true << true;
        QTest::newRow("schedule line") << 3 << true << true;
        QTest::newRow("fewer lines held") << 4 << true << false;
        QTest::newRow("no file") << 5 << false << false;
    }
    void compareWithBackup() {
        QFETCH(int, change);
        QFETCH(bool, ok);
        QFETCH(bool, differs);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("backup.ini"));
        DeviceState device;
        setRows(device, 10);
        std::mt19937 rng(7);
        randomize(device, rng);
        if (change != 5) QVERIFY(WriteSettingsFile(device, path).ok);
        switch (change) {
        case 1: device.Config.FanLow = uint8_t(device.Config.FanLow + 1); break;
        case 2: device.ExpertWeather.Balance[3] ^= 1; break;
        case 3: device.Schedule[9].Switch ^= 0x10; break;
        case 4: setRows(device, 6); break;
        }
        const CompareResult r = CompareWithSettingsFile(device, path);
        QCOMPARE(r.ok, ok);
        QCOMPARE(r.differs, differs);
    }

    // Writing onto an older file keeps what it holds; imports read only the lines held
    // and only the keys present; signed and unsigned values keep their meaning.
    void edgeCases() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.ini"));
        QByteArray old = "; kept comment\r\n[config]\r\nMODE=9\r\nOwnKey=x\r\n\r\n";
        for (int i = 0; i < 10; ++i) old += "[" + QByteArray::number(i) + "]\r\nHour=" + QByteArray::number(i) + "\r\n\r\n";
        QVERIFY(writeAll(path, old));

        DeviceState s;
        setRows(s, 3);
        s.Config.Mode = 1;
        s.Expert.TempOffset = -3;
        s.Schedule[2].Switch = 224;
        s.Schedule[1].Hour = 21;
        QVERIFY(WriteSettingsFile(s, path).ok);
        const QByteArray written = readAll(path);
        QVERIFY(written.startsWith("; kept comment\r\n[config]\r\nMODE=1\r\nOwnKey=x\r\nFlag=0\r\n"));
        QCOMPARE(written.count("\nMode="), 0); // the file's own spelling, not a second key
        QVERIFY(written.contains("TempOffset=-3\r\n"));
        QVERIFY(written.contains("Switch=224\r\n"));
        QVERIFY(written.contains("[1]\r\nHour=21\r\n"));
        QVERIFY(written.contains("[3]\r\nHour=3\r\n\r\n[4]")); // left as it was
        QVERIFY(written.contains("[9]\r\nHour=9\r\n\r\n"));

        DeviceState back;
        setRows(back, 3);
        QVERIFY(ImportConfiguration(back, path).ok);
        QVERIFY(ImportSchedule(back, path).ok);
        QCOMPARE(back.Expert.TempOffset, int8_t(-3));
        QCOMPARE(back.Schedule[2].Switch, uint8_t(224));

        // Ten line sections into six lines: sections 0 to 5 only, the schedule keeps its size.
        DeviceState six;
        setRows(six, 6);
        QCOMPARE(applyScheduleText(six, old.toStdString()), 6);
        QCOMPARE(six.Schedule.size(), std::size_t(6));
        QCOMPARE(six.Schedule[5].Hour, int8_t(5));

        // Only Config/Mode: that field changes, nothing else; values keep their low bits.
        std::mt19937 rng(5);
        DeviceState a, b;
        setRows(a, 4);
        setRows(b, 4);
        randomize(a, rng);
        std::memcpy(&b.Config, &a.Config, sizeof a.Config);
        std::memcpy(&b.Expert, &a.Expert, sizeof a.Expert);
        std::memcpy(&b.ExpertWeather, &a.ExpertWeather, sizeof a.ExpertWeather);
        b.Schedule = a.Schedule;
        QCOMPARE(applyConfigurationText(b, "[Config]\r\nMode=2\r\n"), 1);
        QCOMPARE(b.Config.Mode, uint8_t(2));
        b.Config.Mode = a.Config.Mode;
        QCOMPARE(firstDifference(a, b), QString());
        applyConfigurationText(b, "[Config]\nMode=257\n[TimeZone]\nBias=-70000\n");
        QCOMPARE(b.Config.Mode, uint8_t(1));
        QCOMPARE(int16_t(b.Expert.Bias), int16_t(-70000 + 65536));
    }

    // Bad input changes only the keys that parse, never more, and never crashes.
    void badInput() {
        QCOMPARE(parseIniInteger(" -3\t"), std::optional<int64_t>(-3));
        QCOMPARE(parseIniInteger("+7"), std::optional<int64_t>(7));
        QCOMPARE(parseIniInteger("18446744073709551615"), std::optional<int64_t>(-1));
        QCOMPARE(parseIniInteger("-9223372036854775808"), std::optional<int64_t>(INT64_MIN));
        for (const char* bad : {"", "-", "1e3", "0x10", "12a", "1 2", "18446744073709551616", "-9223372036854775809",
                                "99999999999999999999999999"})
            QVERIFY2(!parseIniInteger(bad), bad);

        DeviceState s;
        setRows(s, 2);
        s.Config.Flag = 4;
        s.Config.FanLow = 5;
        s.Schedule[0].Alt = 6;
        const char text[] = "[Config]\r\nMode=abc\r\nFlag\r\nFanLow=99999999999999999999999\r\nFanHigh=7\r\n"
                            "garbage without equals\r\n[0]\r\nAlt=\0x\r\nTimer=8\r\n[1]\r\nHour=1";
        const std::string_view input(text, sizeof text - 1);
        QCOMPARE(applyConfigurationText(s, input), 1);
        QCOMPARE(applyScheduleText(s, input), 2); // line 0 Timer, and line 1 Hour though the file is cut
        QCOMPARE(s.Config.Mode, uint8_t(0));
        QCOMPARE(s.Config.Flag, uint8_t(4));
        QCOMPARE(s.Config.FanLow, uint8_t(5));
        QCOMPARE(s.Config.FanHigh, uint8_t(7));
        QCOMPARE(s.Schedule[0].Alt, int16_t(6));
        QCOMPARE(s.Schedule[0].Timer, int16_t(8));
        QCOMPARE(s.Schedule[1].Hour, int8_t(1));

        // Unreadable, missing and oversized files: an error naming the file, nothing read.
        QTemporaryDir dir;
        const QString huge = dir.filePath(QStringLiteral("huge.ini"));
        QVERIFY(writAllHuge(huge));
        const TConfig before = s.Config;
        for (const QString& path : {huge, dir.filePath(QStringLiteral("missing.ini")), dir.path()}) {
            const FileResult r = ImportConfiguration(s, path);
            QVERIFY2(!r.ok && r.error.contains(QFileInfo(path).absoluteFilePath()), qPrintable(r.error));
        }
        QCOMPARE(std::memcmp(&before, &s.Config, sizeof before), 0);
        // An export does not replace a file it cannot read whole.
        QVERIFY(!WriteSettingsFile(s, huge).ok);
        QCOMPARE(QFileInfo(huge).size(), kMaxSettingsFileBytes + 1);
    }

    // A folder that cannot be written gives an error naming the file, and the old file
    // stays as it was (the new text never replaces it in part).
    void unwritableFolderKeepsOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        const QByteArray old = "[Config]\r\nMode=3\r\n\r\n";
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::WriteOwner | QFileDevice::ReadOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ExeOther));
        QVERIFY(writeAll(path, old));
        // The file itself may be written in place: only a temporary beside it is refused.
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                        QFileDevice::WriteOther);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
        DeviceState s;
        setRows(s, 2);
        FileResult r;
        {
            Unprivileged drop;
            QVERIFY(drop.ok);
            r = WriteSettingsFile(s, path);
        }
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(path), qPrintable(r.error));
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("settings.ini")});
    }

    // Backups: a safe name from the port, the file kept up to date in place, and the
    // newest ten dated copies of that port only.
    void backups() {
        QCOMPARE(BackupFileName(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("Backup_ttyUSB0.ini"));
        QCOMPARE(BackupFileName(QStringLiteral("COM12 USB serial (COM12)")), QStringLiteral("Backup_COM12.ini"));
        QCOMPARE(BackupFileName(QStringLiteral("a:b*c\\d")), QStringLiteral("Backup_a_b_c_d.ini"));
        for (const char* none : {"", " COM3", "/dev/"}) QCOMPARE(BackupFileName(QString::fromLatin1(none)), QString());

        QTemporaryDir dir;
        DeviceState s;
        setRows(s, 2);
        const QDir dated(BackupsFolder(dir.path()));
        QVERIFY(dated.mkpath(QStringLiteral(".")));
        QVERIFY(writeAll(dated.filePath(QStringLiteral("Backup_ttyUSB0_notes.ini")), "x"));
        QVERIFY(writeAll(dated.filePath(QStringLiteral("Backup_ttyUSB1_20200101-000000.ini")), "x"));
        const QDateTime start(QDate(2026, 12, 8), QTime(10, 0, 0));
        for (int i = 0; i < 12; ++i) {
            s.Config.Mode = uint8_t(i);
            const BackupResult r = WriteBackup(s, dir.path(), QStringLiteral("/dev/ttyUSB0"), start.addSecs(i));
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.path, QDir(dir.path()).filePath(QStringLiteral("Backup_ttyUSB0.ini")));
            QCOMPARE(readAll(r.datedPath), readAll(r.path));
        }
        QVERIFY(readAll(QDir(dir.path()).filePath(QStringLiteral("Backup_ttyUSB0.ini"))).contains("Mode=11\r\n"));
        const QStringList left = dated.entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 12);
        QCOMPARE(left.first(), QStringLiteral("Backup_ttyUSB0_20261208-100002.ini"));
        QVERIFY(left.contains(QStringLiteral("Backup_ttyUSB0_notes.ini")));
        QVERIFY(left.contains(QStringLiteral("Backup_ttyUSB1_20200101-000000.ini")));

        const BackupResult none = WriteBackup(s, dir.path(), QString(), start);
        QVERIFY(none.ok && none.path.isEmpty());
    }

private:
    static bool writAllHuge(const QString& path) {
        QByteArray big = "[Config]\r\nMode=9\r\n";
        big.append(kMaxSettingsFileBytes + 1 - big.size(), ';');
        return writeAll(path, big);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"

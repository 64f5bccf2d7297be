// The command-line almanac: output for good arguments, a clear refusal of bad ones.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    bool crashed = true;
    QString out, err;
};

Run Almanac(const QStringList& args, const QString& tz = QStringLiteral("UTC")) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), tz);
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("QUENDA_BIN") + QStringLiteral("/almanac"), args);
    Run r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const QStringList Frankfurt = {"--lat", "50.1", "--lon", "8.5", "--zone", "1", "--date", "2026-12-08"};

} // namespace

class TestAlmanac : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUENDA_BIN")) QSKIP("QUENDA_BIN is not set");
    }

    void help() {
        const Run r = Almanac({"--help"});
        QVERIFY(!r.crashed);
        QCOMPARE(r.exitCode, 0);
        for (const char* opt : {"--lat", "--lon", "--zone", "--date", "--to", "--time", "--json"})
            QVERIFY2(r.out.contains(QLatin1String(opt)), opt);
    }

    void textForOneDay() {
        const Run r = Almanac(Frankfurt);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        const QStringList lines = r.out.split(QLatin1Char('\n'));
        QVERIFY(lines.size() > 3);
        QVERIFY(lines[0].startsWith(QStringLiteral("2026-12-08 12:00 UTC+1")));
        // Frankfurt in early December: sunrise about 08:12, sunset about 16:23 CET.
        QVERIFY2(lines[1].contains(
                     QRegularExpression(QStringLiteral("^Sun: Azimuth: [0-9.]+\u00b0, Alt: [0-9.]+\u00b0, "
                                                       "Rise: 08:1[0-4], Set: 16:2[1-5], Length of day: "
                                                       "08:[01][0-9] hours$"))),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].contains(QRegularExpression(QStringLiteral("^Moon: Azimuth: .*Phase: [0-9.]+%$"))),
                 qPrintable(lines[2]));
        QVERIFY(r.out.contains(QStringLiteral("Twilight: civil ")));
        QVERIFY(r.out.contains(QStringLiteral("Sidereal time: Greenwich ")));
        QVERIFY(r.out.contains(QStringLiteral("Moon phase: ")));
    }

    void jsonForARange() {
        QStringList args = Frankfurt;
        args << "--to"
             << "2026-12-10"
             << "--time"
             << "06:00"
             << "--time"
             << "18:30"
             << "--json";
        const Run r = Almanac(args);
        QCOMPARE(r.exitCode, 0);
        QJsonParseError e;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &e);
        QCOMPARE(e.error, QJsonParseError::NoError);
        const QJsonArray a = doc.array();
        QCOMPARE(a.size(), 6);
        QCOMPARE(a[0][QStringLiteral("date")].toString(), QStringLiteral("2026-12-08"));
        QCOMPARE(a[1][QStringLiteral("time")].toString(), QStringLiteral("18:30"));
        QCOMPARE(a[5][QStringLiteral("date")].toString(), QStringLiteral("2026-12-10"));
        for (const QJsonValue& v : a) {
            const QJsonObject sun = v[QStringLiteral("sun")].toObject();
            const QJsonObject moon = v[QStringLiteral("moon")].toObject();
            QVERIFY(sun[QStringLiteral("rise")].isDouble());
            QVERIFY(sun[QStringLiteral("civilDawn")].toDouble() < sun[QStringLiteral("rise")].toDouble());
            QVERIFY(moon[QStringLiteral("illuminated")].toDouble() < 0.1); // new moon on 9 December
            for (const char* k : {"rise", "set", "transit", "lowerTransit"})
                QVERIFY(moon[QLatin1String(k)].isDouble() || moon[QLatin1String(k)].isNull());
            QVERIFY(v[QStringLiteral("sunLine")].toString().startsWith(QStringLiteral("Sun: ")));
        }
        // Numbers are not rounded to the text's precision.
        const double alt = a[0][QStringLiteral("sun")][QStringLiteral("altitudeDeg")].toDouble();
        QVERIFY(alt != std::round(alt * 10) / 10);
    }

    void repeatedTimesOnceAndLongRequestsRefused() {
        QStringList args = Frankfurt;
        args << "--time" << "06:00" << "--time" << "06:00" << "--time" << "07:00" << "--json";
        const Run r = Almanac(args);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 2);

        QStringList many = Frankfurt;
        many << "--to" << "2036-12-01";
        for (int h = 0; h < 24; ++h)
            many << "--time" << QStringLiteral("%1:30").arg(h, 2, 10, QLatin1Char('0'));
        many << "--time" << "12:00";
        const Run refused = Almanac(many);
        QCOMPARE(refused.exitCode, 2);
        QVERIFY(refused.out.isEmpty());
        QVERIFY(refused.err.contains(QStringLiteral("entries")));
    }

    void hemisphereLettersAndNegativeValues() {
        const Run a =
            Almanac({"--lat", "33.9S", "--lon", "151.2e", "--zone", "+11", "--date", "2026-01-15", "--json"});
        const Run b =
            Almanac({"--lat=-33.9", "--lon", "151.2", "--zone", "11", "--date", "2026-01-15", "--json"});
        QCOMPARE(a.exitCode, 0);
        QCOMPARE(b.exitCode, 0);
        QCOMPARE(a.out, b.out);
        const Run w = Almanac({"--lat", "40.7", "--lon", "-74", "--zone", "-5", "--date", "2026-07-04"});
        QCOMPARE(w.exitCode, 0);
        QVERIFY(w.out.contains(QStringLiteral("UTC-5")));
    }

    void systemZoneFollowsRules_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<int>("zone");
        QTest::newRow("winter") << "2026-12-08" << 1;
        QTest::newRow("summer") << "2026-07-01" << 2;
    }
    void systemZoneFollowsRules() {
        QFETCH(QString, date);
        QFETCH(int, zone);
        const Run r = Almanac({"--lat", "50.1", "--lon", "8.5", "--zone", "system", "--date", date, "--json"},
                              QStringLiteral("Europe/Berlin"));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).array()[0][QStringLiteral("zoneHours")].toInt(),
                 zone);
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        auto with = [](const QString& opt, const QString& value) {
            QStringList a = Frankfurt;
            const int i = int(a.indexOf(opt));
            if (i >= 0)
                a[i + 1] = value;
            else
                a << opt << value;
            return a;
        };
        QTest::newRow("30 February") << with("--date", "2026-02-30") << "does not exist";
        QTest::newRow("month 13") << with("--date", "2026-13-01") << "does not exist";
        QTest::newRow("date garbage") << with("--date", "tomorrow") << "YYYY-MM-DD";
        QTest::newRow("date with trailing text") << with("--date", "2026-12-08x") << "YYYY-MM-DD";
        QTest::newRow("before 1900-03-01") << with("--date", "1900-02-28") << "outside";
        QTest::newRow("after 2100-02-28") << with("--date", "2100-03-01") << "outside";
        QTest::newRow("latitude 91") << with("--lat", "91") << "out of range";
        QTest::newRow("latitude -90.5") << with("--lat", "-90.5") << "out of range";
        QTest::newRow("latitude NaN") << with("--lat", "nan") << "not a number";
        QTest::newRow("latitude inf") << with("--lat", "inf") << "not a number";
        QTest::newRow("latitude garbage") << with("--lat", "fifty") << "not a number";
        QTest::newRow("latitude empty") << with("--lat", "") << "not a number";
        QTest::newRow("sign and letter") << with("--lat", "-50S") << "either a sign";
        QTest::newRow("latitude letter on longitude") << with("--lon", "8.5N") << "not a number";
        QTest::newRow("longitude 181") << with("--lon", "181") << "out of range";
        QTest::newRow("zone 1.5") << with("--zone", "1.5") << "whole hours";
        QTest::newRow("zone 15") << with("--zone", "15") << "out of range";
        QTest::newRow("zone garbage") << with("--zone", "CET") << "whole hours";
        QTest::newRow("time 24:00") << with("--time", "24:00") << "does not exist";
        QTest::newRow("time 7:60") << with("--time", "7:60") << "does not exist";
        QTest::newRow("time garbage") << with("--time", "noon") << "HH:MM";
        QTest::newRow("range backwards") << with("--to", "2026-12-01") << "before";
        QTest::newRow("range too long") << with("--to", "2040-01-01") << "longer than";
        QTest::newRow("missing latitude") << QStringList{"--lon", "8.5"} << "required";
        QTest::newRow("missing value") << QStringList{"--lat"} << "Missing value";
        QTest::newRow("unknown option") << with("--frobnicate", "1") << "Unknown option";
        QTest::newRow("stray argument") << (QStringList(Frankfurt) << "extra") << "unexpected";
        QTest::newRow("latitude twice") << (QStringList(Frankfurt) << "--lat"
                                                                   << "10")
                                        << "more than once";
    }
    void badArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run r = Almanac(args);
        QVERIFY(!r.crashed);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith(QStringLiteral("almanac: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestAlmanac)
#include "test_almanac.moc"

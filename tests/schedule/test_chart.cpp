// The chart picture, judged by its pixels and by where its labels went.
#include "pages/number_text.h"
#include "schedule/chart.h"

#include <QApplication>
#include <QTest>
#include <algorithm>

using namespace quenda;
using Kind = ChartLabel::Kind;

namespace {

const QSize kSize(800, 500);
constexpr int kPlotTop = 20, kPlotBottom = 500 - 21;
constexpr QRgb kBand = 0xFFFFF0F0, kMajor = 0xFFD0D0D0, kMinor = 0xFFF0F0F0;
const QLocale kLocale(QLocale::English, QLocale::UnitedKingdom);

ChartInput input(int value, int mode = csTempWater, int interval = 5) {
    ChartInput in;
    std::fill(std::begin(in.chart.Sample), std::end(in.chart.Sample), int16_t(value));
    in.mode = mode;
    in.interval = interval;
    in.hour = 12, in.minute = 34, in.second = 56, in.centisecond = 78;
    in.now = QDateTime(QDate(2026, 6, 1), QTime(12, 40));
    in.locale = kLocale;
    in.notConnected = QStringLiteral("not connected");
    return in;
}

// Labels of a kind; for time labels only the row along the top edge.
std::vector<ChartLabel> labelsOf(const ChartPicture& p, Kind kind) {
    std::vector<ChartLabel> out;
    for (const ChartLabel& l : p.labels)
        if (l.kind == kind && (kind != Kind::Time || l.rect.y() == 1)) out.push_back(l);
    return out;
}

// The height of the line a value label belongs to; -1 without such a label.
int lineOf(const ChartPicture& p, const QString& text) {
    for (const ChartLabel& l : labelsOf(p, Kind::Value))
        if (l.text == text) return l.rect.y() + 6;
    return -1;
}

int countPixels(const QImage& img, QRgb color, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == color;
    return n;
}

// A pixel of the blue curve, anti-aliased onto white or grey.
bool bluish(QRgb c) {
    return qBlue(c) - qRed(c) > 60 && qBlue(c) - qGreen(c) > 60;
}
// The curve passes a point (anti-aliasing may split it over two rows).
bool curveAt(const ChartPicture& p, int x, int y) {
    return bluish(p.image.pixel(x, y)) || bluish(p.image.pixel(x, y - 1));
}

} // namespace

class TestChart : public QObject {
    Q_OBJECT
private slots:
    void init() { setDesktopLocaleName(QStringLiteral("C")); }

    // 21.5 °C throughout: whole degrees 19 to 24 labelled on both sides, minor lines every
    // 0.2 °C between them, no band, the current value at the curve's height.
    void steadyTemperature() {
        const ChartPicture p = DrawChart(input(215), kSize);
        QStringList texts;
        int left = 0, right = 0;
        for (const ChartLabel& l : labelsOf(p, Kind::Value)) {
            if (!texts.contains(l.text)) texts << l.text;
            left += l.rect.x() == 0;
            right += l.rect.right() == kSize.width() - 1;
        }
        QCOMPARE(texts.join(' '), QString::fromUtf8("19.0°C 20.0°C 21.0°C 22.0°C 23.0°C 24.0°C"));
        QCOMPARE(left, 6);
        QCOMPARE(right, 6);
        QCOMPARE(lineOf(p, QString::fromUtf8("24.0°C")), kPlotTop);
        QCOMPARE(lineOf(p, QString::fromUtf8("19.0°C")), kPlotBottom);
        // A column clear of the time lines crosses every value line once.
        const QRect column(70, 0, 1, kSize.height());
        QCOMPARE(countPixels(p.image, kMajor, column), 6);
        QCOMPARE(countPixels(p.image, kMinor, column), 20);
        QCOMPARE(countPixels(p.image, kBand, p.image.rect()), 0);

        const auto current = labelsOf(p, Kind::Current);
        QCOMPARE(current.size(), size_t(1));
        QCOMPARE(current[0].text, QString::fromUtf8("21.5°C"));
        QCOMPARE(current[0].rect.right(), kSize.width() - 1);
        QVERIFY(curveAt(p, kSize.width() / 2, current[0].rect.y() + 6));
    }

    // The time axis: label step from the span, newest line at the rounded-down time.
    void timeLabels() {
        // 5 minutes: 195 minutes on the chart, labels every half hour, the newest sample
        // at 12:30 (12:34:56 rounded down) on the right end of the plot.
        ChartPicture p = DrawChart(input(215, csTempWater, 5), kSize);
        auto top = labelsOf(p, Kind::Time);
        QCOMPARE(top.size(), size_t(7));
        QCOMPARE(top[0].text, kLocale.toString(QTime(12, 30), QLocale::ShortFormat));
        QCOMPARE(top[0].rect.x(), kSize.width() - 40);
        for (size_t i = 1; i < top.size(); ++i) {
            const QTime t = kLocale.toTime(top[i].text, QLocale::ShortFormat);
            QCOMPARE(t.secsTo(kLocale.toTime(top[i - 1].text, QLocale::ShortFormat)), 30 * 60);
            QVERIFY(top[i].rect.x() < top[i - 1].rect.x() && top[i].rect.x() >= 40);
        }
        QCOMPARE(p.image.pixel(top[1].rect.x(), 100), kMajor); // the line under its label

        // 60 minutes: a day and a half on the chart, one line per midnight, labelled as dates.
        p = DrawChart(input(215, csTempWater, 60), kSize);
        top = labelsOf(p, Kind::Time);
        QCOMPARE(top.size(), size_t(2));
        QCOMPARE(top[0].text, kLocale.toString(QDate(2026, 6, 1), QLocale::ShortFormat));
        QCOMPARE(top[1].text, kLocale.toString(QDate(2026, 5, 31), QLocale::ShortFormat));

        // A device clock that is no time of day: the computer's clock stands in.
        ChartInput in = input(215, csTempWater, 5);
        in.hour = 31;
        in.now.setTime(QTime(9, 10));
        QCOMPARE(labelsOf(DrawChart(in, kSize), Kind::Time).front().text,
                 kLocale.toString(QTime(9, 0), QLocale::ShortFormat));
    }

    // Volts carry their unit and never the over-temperature band; a hot board does.
    void voltageAndBand() {
        ChartPicture p = DrawChart(input(1205, csVoltage), kSize);
        QVERIFY(lineOf(p, QStringLiteral("12.00 V")) > kPlotTop);
        QCOMPARE(labelsOf(p, Kind::Current).front().text, QStringLiteral("12.05 V"));
        QCOMPARE(countPixels(p.image, kBand, p.image.rect()), 0);

        // A board that peaked at 65.0 °C: light red above the 60 °C line, white below it.
        ChartInput hot = input(450, csTempBoard);
        hot.chart.Sample[5] = 650;
        p = DrawChart(hot, kSize);
        const int line = lineOf(p, QString::fromUtf8("60.0°C"));
        QVERIFY(line > kPlotTop);
        QCOMPARE(p.image.pixel(200, 2), kBand);
        QCOMPARE(p.image.pixel(200, line - 3), kBand);
        QCOMPARE(p.image.pixel(200, line + 3), 0xFFFFFFFFu);
    }

    // Nothing to draw, or values at the edges of what the record can hold.
    void badInput() {
        ChartInput newestMissing = input(215);
        newestMissing.chart.Sample[0] = kNoMeasurement;
        for (const ChartInput& in : {newestMissing, input(215, csTempWater, 0)}) {
            const ChartPicture p = DrawChart(in, kSize);
            QCOMPARE(p.labels.size(), size_t(1));
            QCOMPARE(p.labels[0].kind, Kind::NotConnected);
            QVERIFY(p.labels[0].rect.contains(QRect(kSize.width() / 2 - 2, kSize.height() / 2 - 2, 5, 5)));
        }

        // Only the newest sample: its label, and a point of the curve at the right end.
        ChartInput in = input(kNoMeasurement);
        in.chart.Sample[0] = 215;
        ChartPicture p = DrawChart(in, kSize);
        const auto current = labelsOf(p, Kind::Current);
        QCOMPARE(current.size(), size_t(1));
        QCOMPARE(current[0].text, QString::fromUtf8("21.5°C"));
        QVERIFY(curveAt(p, kSize.width() - 40, current[0].rect.y() + 6));

        // The extremes, alternating, and below freezing: every value line and the whole
        // curve stay inside the plot.
        for (auto [a, b] : {std::pair{-32768, 32766}, std::pair{-1000, -1000}, std::pair{-100, -100}}) {
            in = input(a);
            for (int k = 1; k < kChartSamples; k += 2)
                in.chart.Sample[k] = int16_t(b);
            p = DrawChart(in, kSize);
            const auto values = labelsOf(p, Kind::Value);
            QVERIFY2(values.size() >= 4, qPrintable(QString::number(a)));
            for (const ChartLabel& l : values)
                QVERIFY(l.rect.y() + 6 >= kPlotTop && l.rect.y() + 6 <= kPlotBottom);
            int curveRows = 0;
            for (int y = 0; y < kSize.height(); ++y)
                if (bluish(p.image.pixel(kSize.width() / 2, y))) {
                    ++curveRows;
                    QVERIFY2(y >= kPlotTop && y <= kPlotBottom, qPrintable(QString::number(a)));
                }
            QVERIFY(curveRows > 0);
        }
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestChart t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_chart.moc"

// The chart picture, judged by its pixels and by where its labels went.
#include "app/binding.h"
#include "schedule/chart.h"

#include <QApplication>
#include <QTest>
#include <algorithm>

using namespace quenda;

namespace {

const QSize kSize(800, 500);
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

std::vector<ChartLabel> labelsOf(const ChartPicture& p, ChartLabel::Kind kind) {
    std::vector<ChartLabel> out;
    std::copy_if(p.labels.begin(), p.labels.end(), std::back_inserter(out),
                 [&](const ChartLabel& l) { return l.kind == kind; });
    return out;
}

// The labels drawn along the top edge (each time label is drawn at the top and the bottom).
std::vector<ChartLabel> topTimeLabels(const ChartPicture& p) {
    auto all = labelsOf(p, ChartLabel::Kind::Time);
    std::erase_if(all, [](const ChartLabel& l) { return l.rect.y() != 1; });
    return all;
}

const ChartLabel* valueLabel(const ChartPicture& p, const QString& text) {
    for (const ChartLabel& l : p.labels)
        if (l.kind == ChartLabel::Kind::Value && l.text == text) return &l;
    return nullptr;
}

int countPixels(const QImage& img, QRgb color, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == color;
    return n;
}

// A pixel of a blue curve, anti-aliased onto white or grey.
bool bluish(QRgb c) {
    return qBlue(c) - qRed(c) > 60 && qBlue(c) - qGreen(c) > 60;
}

// Rows of one column in a colour; the column is chosen clear of the time lines.
int rowsInColumn(const ChartPicture& p, QRgb color) {
    int x = 60;
    for (const ChartLabel& l : labelsOf(p, ChartLabel::Kind::Time))
        if (std::abs(l.rect.x() - x) < 3) x += 7;
    return countPixels(p.image, color, QRect(x, 0, 1, p.image.height()));
}

} // namespace

class TestChart : public QObject {
    Q_OBJECT
private slots:
    void init() { setDesktopLocaleName(QStringLiteral("C")); }

    // 21.5 °C throughout: labelled whole degrees from 19 to 24 with minor lines every
    // 0.2 °C between them, no band, the current value on the right.
    void steadyTemperature() {
        const ChartPicture p = DrawChart(input(215), kSize);
        QStringList values;
        for (const ChartLabel& l : labelsOf(p, ChartLabel::Kind::Value))
            if (!values.contains(l.text)) values << l.text;
        QCOMPARE(values, QStringList({QStringLiteral("19.0\u00B0C"), QStringLiteral("20.0\u00B0C"),
                                      QStringLiteral("21.0\u00B0C"), QStringLiteral("22.0\u00B0C"),
                                      QStringLiteral("23.0\u00B0C"), QStringLiteral("24.0\u00B0C")}));
        // Each label twice: flush left and flush right, on its line's height.
        const ChartLabel* low = valueLabel(p, QStringLiteral("19.0\u00B0C"));
        const ChartLabel* high = valueLabel(p, QStringLiteral("24.0\u00B0C"));
        int leftCopies = 0, rightCopies = 0;
        for (const ChartLabel& l : labelsOf(p, ChartLabel::Kind::Value)) {
            leftCopies += l.rect.x() == 0;
            rightCopies += l.rect.right() == kSize.width() - 1;
        }
        QCOMPARE(leftCopies, 6);
        QCOMPARE(rightCopies, 6);
        QCOMPARE(high->rect.y() + 6, 20);                    // top of the plot
        QCOMPARE(low->rect.y() + 6, kSize.height() - 21);    // bottom of the plot
        QCOMPARE(p.image.pixel(100, high->rect.y() + 6), kMajor);
        QCOMPARE(rowsInColumn(p, kMajor), 6);
        QCOMPARE(rowsInColumn(p, kMinor), 20);
        QCOMPARE(countPixels(p.image, kBand, p.image.rect()), 0);

        const auto current = labelsOf(p, ChartLabel::Kind::Current);
        QCOMPARE(current.size(), size_t(1));
        QCOMPARE(current[0].text, QStringLiteral("21.5\u00B0C"));
        QCOMPARE(current[0].rect.right(), kSize.width() - 1);
        // The curve is a blue line across the plot at that height.
        const int y = current[0].rect.y() + 6;
        QVERIFY(bluish(p.image.pixel(kSize.width() / 2, y)) || bluish(p.image.pixel(kSize.width() / 2, y - 1)));
    }

    // The time axis: label step from the span, newest line at the rounded-down time.
    void timeLabels() {
        // 5 minutes: 195 minutes on the chart, labels every half hour, the newest sample
        // at 12:30 (12:34:56 rounded down) on the right end of the plot.
        ChartPicture p = DrawChart(input(215, csTempWater, 5), kSize);
        auto top = topTimeLabels(p);
        QCOMPARE(top.size(), size_t(7));
        QCOMPARE(labelsOf(p, ChartLabel::Kind::Time).size(), size_t(14));
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
        top = topTimeLabels(p);
        QCOMPARE(top.size(), size_t(2));
        QCOMPARE(top[0].text, kLocale.toString(QDate(2026, 6, 1), QLocale::ShortFormat));
        QCOMPARE(top[1].text, kLocale.toString(QDate(2026, 5, 31), QLocale::ShortFormat));

        // A device clock that is no time of day: the computer's clock stands in.
        ChartInput in = input(215, csTempWater, 5);
        in.hour = 31;
        p = DrawChart(in, kSize);
        QCOMPARE(topTimeLabels(p).front().text, kLocale.toString(QTime(12, 30), QLocale::ShortFormat));
    }

    // Volts carry their unit and never the over-temperature band; hot boards do.
    void voltageAndBand() {
        ChartPicture p = DrawChart(input(1205, csVoltage), kSize);
        QVERIFY(valueLabel(p, QStringLiteral("12.00 V")));
        QCOMPARE(labelsOf(p, ChartLabel::Kind::Current).front().text, QStringLiteral("12.05 V"));
        QCOMPARE(countPixels(p.image, kBand, p.image.rect()), 0);
        // Voltage 6.50 V is 650 hundredths: as many units as 65.0 °C, and still no band.
        p = DrawChart(input(650, csVoltage), kSize);
        QCOMPARE(countPixels(p.image, kBand, p.image.rect()), 0);

        // A board that peaked at 65.0 °C: light red above the 60 °C line, white below it.
        ChartInput hot = input(450, csTempBoard);
        hot.chart.Sample[5] = 650;
        p = DrawChart(hot, kSize);
        const ChartLabel* sixty = valueLabel(p, QStringLiteral("60.0\u00B0C"));
        QVERIFY(sixty);
        const int line = sixty->rect.y() + 6;
        QCOMPARE(p.image.pixel(200, 2), kBand);
        QCOMPARE(p.image.pixel(200, line - 3), kBand);
        QCOMPARE(p.image.pixel(200, line + 3), 0xFFFFFFFFu);
    }

    // Nothing to draw, or values at the edges of what the record can hold.
    void badInput() {
        const QRect middle(kSize.width() / 2 - 2, kSize.height() / 2 - 2, 5, 5);
        ChartInput newestMissing = input(215);
        newestMissing.chart.Sample[0] = kNoMeasurement;
        for (const ChartInput& in : {newestMissing, input(215, csTempWater, 0)}) {
            const ChartPicture p = DrawChart(in, kSize);
            QCOMPARE(p.labels.size(), size_t(1));
            QCOMPARE(p.labels[0].kind, ChartLabel::Kind::NotConnected);
            QVERIFY(p.labels[0].rect.contains(middle));
        }

        // Only the newest sample: its label, and a point of the curve at the right end.
        ChartInput in = input(kNoMeasurement);
        in.chart.Sample[0] = 215;
        ChartPicture p = DrawChart(in, kSize);
        const auto current = labelsOf(p, ChartLabel::Kind::Current);
        QCOMPARE(current.size(), size_t(1));
        QCOMPARE(current[0].text, QStringLiteral("21.5\u00B0C"));
        const int y = current[0].rect.y() + 6;
        QVERIFY(bluish(p.image.pixel(kSize.width() - 40, y)) || bluish(p.image.pixel(kSize.width() - 40, y - 1)));

        // The extremes, alternating, and below freezing: every value line and the whole
        // curve stay inside the plot.
        for (auto [a, b] : {std::pair{-32768, 32766}, std::pair{-1000, -1000}, std::pair{-100, -100}}) {
            in = input(a);
            for (int k = 1; k < kChartSamples; k += 2)
                in.chart.Sample[k] = int16_t(b);
            p = DrawChart(in, kSize);
            const auto values = labelsOf(p, ChartLabel::Kind::Value);
            QVERIFY2(values.size() >= 4, qPrintable(QString::number(a)));
            for (const ChartLabel& l : values)
                QVERIFY(l.rect.y() + 6 >= 20 && l.rect.y() + 6 <= kSize.height() - 21);
            int curveRows = 0;
            for (int y = 0; y < kSize.height(); ++y)
                if (bluish(p.image.pixel(kSize.width() / 2, y))) {
                    ++curveRows;
                    QVERIFY2(y >= 20 && y <= kSize.height() - 21, qPrintable(QString::number(a)));
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

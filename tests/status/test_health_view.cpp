#include "pages/number_text.h"
#include "status/health_view.h"

#include <QApplication>
#include <QTest>

using namespace quenda;

namespace {
void setCounter(THealth& h, int band, uint32_t v) {
    writeField(&h, *findField(RecordKind::Health, "Counter"), band, v);
}

// Ten years of work split over two voltage bands: the scale is exactly the width.
THealth tenYears() {
    THealth h{};
    h.PowerCycles = 42;
    setCounter(h, hbVBelow26, kHealthScaleTicks / 2);
    setCounter(h, hbV260, kHealthScaleTicks / 2);
    setCounter(h, hbTBelow45, kHealthScaleTicks / 4);
    setCounter(h, hbT45, kHealthScaleTicks / 4);
    return h;
}

const QColor kBack(0x20, 0x30, 0x40);
const QColor kText(Qt::black);

bool anyPixelNot(const QImage& img, const QRect& r, QColor c) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y) != c) return true;
    return false;
}
} // namespace

class TestHealthView : public QObject {
    Q_OBJECT
private slots:
    void init() { setDesktopLocaleName(QStringLiteral("C")); }

    void barsOnTheTenYearScale() {
        const HealthBars b = computeHealthBars(tenYears(), 1000);
        QCOMPARE(b.working, uint64_t(kHealthScaleTicks));
        QCOMPARE(b.scale, 1000.0);
        QCOMPARE(b.voltage.size(), size_t(4));
        // Lowest band first, green then yellow; the two high bands are empty at the end.
        QCOMPARE(b.voltage[0].band, int(hbVBelow26));
        QCOMPARE(b.voltage[0].x0, 0);
        QCOMPARE(b.voltage[0].x1, 500);
        QCOMPARE(b.voltage[0].color, QRgb(0xFF00FF00));
        QCOMPARE(b.voltage[1].x1, 1000);
        QCOMPARE(b.voltage[1].color, QRgb(0xFFFFFF00));
        QCOMPARE(b.voltage[2].x0, 1000);
        QCOMPARE(b.voltage[3].x1, 1000);
        QCOMPARE(b.voltage[3].color, QRgb(0xFFFF0000));
        // Temperature shares are of the working time, so this bar stops at half.
        QCOMPARE(b.temperature.size(), size_t(5));
        QCOMPARE(b.temperature[0].color, QRgb(0xFF00FFFF));
        QCOMPARE(b.temperature[0].x1, 250);
        QCOMPARE(b.temperature[1].x1, 500);
        QCOMPARE(b.temperature[4].band, int(hbT60));
        QCOMPARE(b.temperature[4].x1, 500);
    }

    void segmentEndsFollowTheUnroundedSum() {
        // Three equal thirds of 100 px end at 33, 67 and 100, not at 33, 66 and 99.
        THealth h{};
        h.PowerCycles = 1;
        for (int band : {hbVBelow26, hbV260, hbV290})
            setCounter(h, band, kHealthScaleTicks / 3);
        const HealthBars b = computeHealthBars(h, 100);
        QCOMPARE(b.voltage[0].x1, 33);
        QCOMPARE(b.voltage[1].x0, 33);
        QCOMPARE(b.voltage[1].x1, 67);
        QCOMPARE(b.voltage[2].x1, 100);
    }

    void logarithmicLength() {
        // One 15-second period draws nothing; the length grows with the log of the time.
        THealth h{};
        h.PowerCycles = 1;
        setCounter(h, hbVBelow26, 1);
        setCounter(h, hbTBelow45, 1);
        HealthBars b = computeHealthBars(h, 985);
        QCOMPARE(b.working, uint64_t(1));
        for (const auto& s : b.voltage)
            QCOMPARE(s.x1, 0);
        for (const auto& s : b.temperature)
            QCOMPARE(s.x1, 0);

        setCounter(h, hbVBelow26, 4587); // about the square root of the ten-year count
        b = computeHealthBars(h, 1000);
        QVERIFY(b.voltage[0].x1 >= 499 && b.voltage[0].x1 <= 501);
    }

    void noWorkNoBars() {
        THealth h{};
        h.PowerCycles = 3;
        setCounter(h, hbT60, 100); // temperature alone is not working time
        const HealthBars b = computeHealthBars(h, 985);
        QCOMPARE(b.working, uint64_t(0));
        QVERIFY(b.voltage.empty());
        QVERIFY(b.temperature.empty());
    }

    void blankWithoutPowerCycles() {
        THealth h = tenYears();
        h.PowerCycles = 0;
        const QImage img = renderHealth(h, QSize(985, 153), kBack, kText);
        QCOMPARE(img.size(), QSize(985, 153));
        QVERIFY(!anyPixelNot(img, img.rect(), kBack));
    }

    void onlyTheFirstRowWithoutWork() {
        THealth h{};
        h.PowerCycles = 7;
        const QImage img = renderHealth(h, QSize(985, 153), kBack, kText);
        QVERIFY(anyPixelNot(img, QRect(0, 0, 60, 12), kBack));    // "Power cycles:"
        QVERIFY(anyPixelNot(img, QRect(350, 0, 200, 12), kBack)); // "Working:" 0 0.0h
        QVERIFY(!anyPixelNot(img, QRect(0, 14, 985, 139), kBack));
    }

    void pictureShowsBarsAndRows() {
        const QImage img = renderHealth(tenYears(), QSize(1000, 153), kBack, kText);
        auto at = [&](int x, int y) { return img.pixel(x, y) | 0xFF000000; };
        QCOMPARE(at(10, 100), QRgb(0xFF00FF00));
        QCOMPARE(at(499, 107), QRgb(0xFF00FF00));
        QCOMPARE(at(500, 96), QRgb(0xFFFFFF00));
        QCOMPARE(at(999, 100), QRgb(0xFFFFFF00));
        QCOMPARE(at(10, 112), QRgb(0xFF00FFFF));
        QCOMPARE(at(300, 119), QRgb(0xFF00FF00));
        QCOMPARE(img.pixelColor(600, 112), kBack);
        QCOMPARE(img.pixelColor(10, 121), kBack);
        // Five temperature rows on the left from y = 24, four voltage rows on the right from y = 36.
        for (int y = 24; y <= 72; y += 12)
            QVERIFY2(anyPixelNot(img, QRect(0, y, 40, 12), kBack), qPrintable(QString::number(y)));
        QVERIFY(!anyPixelNot(img, QRect(350, 24, 300, 12), kBack));
        for (int y = 36; y <= 72; y += 12)
            QVERIFY(anyPixelNot(img, QRect(350, y, 50, 12), kBack));
    }

    void fullCountersStayInsideThePicture() {
        // A record of all ones reads as more than ten years: the bars are cut at the edge.
        THealth h;
        memset(&h, 0xFF, sizeof h);
        const HealthBars b = computeHealthBars(h, 985);
        QCOMPARE(b.working, uint64_t(4) * 0xFFFFFF);
        QVERIFY(b.scale > 985);
        const QImage img = renderHealth(h, QSize(985, 153), kBack, kText);
        QCOMPARE(img.pixel(984, 100) | 0xFF000000, QRgb(0xFFFF0000));
    }

    void tinySizes() {
        const QImage img = renderHealth(tenYears(), QSize(0, 0), kBack, kText);
        QVERIFY(!img.isNull());
        QVERIFY(computeHealthBars(tenYears(), 0).voltage.empty());
    }

    void viewFollowsItsWidthWhileShown() {
        QWidget top;
        auto* v = new HealthView(&top);
        QCOMPARE(v->objectName(), QStringLiteral("imgHealth"));
        v->resize(600, HealthView::kDesignHeight);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        const THealth h = tenYears();
        v->draw(h);
        QCOMPARE(v->image().size(), QSize(600, 153));
        QCOMPARE(v->image().pixel(599, 100) | 0xFF000000, QRgb(0xFFFFFF00));
        v->resize(800, HealthView::kDesignHeight);
        QCOMPARE(v->image().width(), 800);
        QCOMPARE(v->image().pixel(799, 100) | 0xFF000000, QRgb(0xFFFFFF00));
        // Resized while hidden: drawn again when shown.
        top.hide();
        v->resize(700, HealthView::kDesignHeight);
        QCOMPARE(v->image().width(), 800);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        QCOMPARE(v->image().width(), 700);
    }
};

QTEST_MAIN(TestHealthView)
#include "test_health_view.moc"

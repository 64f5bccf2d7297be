// The Visualization page in a shown, connected window: dragging points with the mouse,
// the channel wheel, and what a pending download or a shrunk schedule does to a drag.
#include "lang/texts.h"
#include "pages/page_test_util.h"
#include "pages/channel_names.h"
#include "schedule/visualize_page.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QTimer>
#include <QWheelEvent>

using namespace quenda;
using namespace quenda::testing;

namespace {

struct Fixture {
    std::unique_ptr<TfrmQuenda> w;
    VisualizePage* page = nullptr;

    explicit Fixture(int mode, bool readAll = true) {
        w = makeShownWindow();
        DeviceState& st = w->state();
        st.resizeSchedule(3);
        for (int k = 0; k < 3; ++k) {
            TScheduleRow r{};
            r.Hour = int8_t(6 * (k + 1));
            r.Alt = int16_t(3000 * k);
            for (int ch = 0; ch < kChannels; ++ch)
                r.Color16[ch] = int16_t(1000 + 500 * k);
            if (k < 2 || readAll) downloadLine(st, k, r);
            else st.Schedule[2] = r; // known to the window, not read from the device
        }
        connectInMode(*w, mode, "tsVisualize");
        page = qobject_cast<VisualizePage*>(w->page(QStringLiteral("tsVisualize")));
        QApplication::processEvents();
    }
    QPoint point(int line, int channel = 0) const {
        const CurvePoint& p = page->points().at(std::size_t(line));
        return QPointF(p.X, p.Y[std::size_t(channel)]).toPoint();
    }
    // Sends one wheel notch over the given widget; true when someone took it.
    bool wheel(QWidget* over, int delta) const {
        const QPointF pos(over->width() / 2.0, over->height() / 2.0);
        QWheelEvent e(pos, over->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &e);
        return e.isAccepted();
    }
};

} // namespace

class TestVisualizePage : public QObject {
    Q_OBJECT
private slots:
    void init() { LoadLanguage(LanguageChoice::English); }

    void dragPastTheEdgesClampsAndUploadsOnRelease() {
        Fixture f(1);
        QWidget* img = f.page->img();
        QVERIFY(!f.page->tmrVisualize()->isActive());
        QTest::mousePress(img, Qt::LeftButton, {}, f.point(1));
        QCOMPARE(f.page->DraggedLine(), 1);
        QVERIFY(f.page->tmrVisualize()->isActive());
        QTest::mouseMove(img, QPoint(img->width() + 40, -30));
        QVERIFY(!f.w->state().isRaised(rqSetSchedule)); // nothing goes out while held
        QTest::mouseRelease(img, Qt::LeftButton, {}, QPoint(img->width() + 40, -30));
        const TScheduleRow& r = f.w->state().Schedule[1];
        QCOMPARE(int(r.Hour), 24);
        QCOMPARE(int(r.Minute), 0);
        QCOMPARE(int(r.Color16[0]), 4096);
        QCOMPARE(int(r.Color16[1]), 1500); // only the selected channel
        QCOMPARE(f.page->DraggedLine(), -1);
        QVERIFY(!f.page->tmrVisualize()->isActive());
        QVERIFY(f.w->state().isMarked(1));
        QVERIFY(!f.w->state().isMarked(0));
        QVERIFY(f.w->state().isRaised(rqSetSchedule));
        // The redraw shows the point where it was dropped.
        QCOMPARE(f.page->points()[1].X, float(img->width() - 20));

        // Below the bottom: level 0. With the times locked only the level moves.
        f.page->cbxTimeLock()->setChecked(true);
        QTest::mousePress(img, Qt::LeftButton, {}, f.point(0));
        QTest::mouseMove(img, QPoint(img->width() / 2, img->height() + 30));
        QTest::mouseRelease(img, Qt::LeftButton, {}, QPoint(img->width() / 2, img->height() + 30));
        QCOMPARE(int(f.w->state().Schedule[0].Hour), 6);
        QCOMPARE(int(f.w->state().Schedule[0].Color16[0]), 0);
        // A click beside every point grabs nothing.
        QTest::mousePress(img, Qt::LeftButton, {}, f.point(2) + QPoint(0, 30));
        QCOMPARE(f.page->DraggedLine(), -1);
        QVERIFY(!f.page->tmrVisualize()->isActive());
        QTest::mouseRelease(img, Qt::LeftButton, {}, f.point(2) + QPoint(0, 30));
    }

    void geoDragChangesOnlyTheLevel() {
        Fixture f(2);
        QVERIFY(f.page->cbxTimeLock()->isHidden());
        const TScheduleRow before = f.w->state().Schedule[2];
        QWidget* img = f.page->img();
        QTest::mousePress(img, Qt::LeftButton, {}, f.point(2));
        QTest::mouseMove(img, QPoint(30, 25));
        QTest::mouseRelease(img, Qt::LeftButton, {}, QPoint(30, 25));
        const TScheduleRow& after = f.w->state().Schedule[2];
        QCOMPARE(int(after.Hour), int(before.Hour));
        QCOMPARE(int(after.Minute), int(before.Minute));
        QCOMPARE(int(after.Alt), int(before.Alt));
        QVERIFY(after.Color16[0] > 4000);
        f.w->SetMode(1);
        f.page->DrawVisualization();
        QVERIFY(!f.page->cbxTimeLock()->isHidden());
    }

    void downloadsUnreadLinesAndShrunkSchedulesStopTheDrag() {
        Fixture f(1);
        QWidget* img = f.page->img();
        f.w->state().raise(rqGetSchedule);
        QTest::mousePress(img, Qt::LeftButton, {}, f.point(1));
        QCOMPARE(f.page->DraggedLine(), -1);
        QTest::mouseRelease(img, Qt::LeftButton, {}, f.point(1));
        // A line never read from the device cannot be grabbed.
        Fixture unread(1, false);
        QTest::mousePress(unread.page->img(), Qt::LeftButton, {}, unread.point(2));
        QCOMPARE(unread.page->DraggedLine(), -1);
        QTest::mouseRelease(unread.page->img(), Qt::LeftButton, {}, unread.point(2));
        QTest::mousePress(unread.page->img(), Qt::LeftButton, {}, unread.point(1));
        QCOMPARE(unread.page->DraggedLine(), 1);
        QTest::mouseRelease(unread.page->img(), Qt::LeftButton, {}, unread.point(1));

        f.w->state().assignRequests(0);
        QTest::mousePress(img, Qt::LeftButton, {}, f.point(2));
        QCOMPARE(f.page->DraggedLine(), 2);
        f.w->state().raise(rqGetSchedule);
        QTest::mouseMove(img, QPoint(40, 40));
        QCOMPARE(int(f.w->state().Schedule[2].Hour), 18); // held still while the download runs
        // The download brings fewer lines than the one held.
        f.w->state().resizeSchedule(1);
        f.w->ShowSchedule();
        f.w->state().assignRequests(0);
        QTest::mouseMove(img, QPoint(50, 50));
        QTest::mouseRelease(img, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(f.page->DraggedLine(), -1);
        QCOMPARE(int(f.w->state().Schedule.size()), 1);
        QVERIFY(!f.w->state().isRaised(rqSetSchedule));
        QCOMPARE(int(f.page->points().size()), 1);
    }

    // New colour names reach the picture of a page that was hidden when they came, and
    // of one whose point is being held, at its next redraw.
    void pictureTakesNewNamesWhenShownAndWhileDragging() {
        Fixture f(1);
        auto squareColour = [&] {
            const QPoint at = f.point(1);
            return f.page->picture().pixel(at);
        };
        f.w->ShowPage(f.w->page(QStringLiteral("tsMessages")));
        f.w->state().Config.ColorName[0] = 2; // Red
        ShowChannelNames(f.w.get(), f.w->state());
        f.w->ShowPage(f.page);
        QApplication::processEvents();
        QCOMPARE(squareColour(), CurvePalette(2));

        QTest::mousePress(f.page->img(), Qt::LeftButton, {}, f.point(1));
        QCOMPARE(f.page->DraggedLine(), 1);
        f.w->state().Config.ColorName[0] = 3; // Green
        ShowChannelNames(f.w.get(), f.w->state());
        QTRY_COMPARE_WITH_TIMEOUT(squareColour(), CurvePalette(3), 1000);
        QTest::mouseRelease(f.page->img(), Qt::LeftButton, {}, f.point(1));
    }

    void wheelPicksChannelOnlyOnThisPageAndNotWhileDragging() {
        Fixture f(1);
        ShowChannelNames(f.w.get(), f.w->state());
        QComboBox* cmb = f.page->cmbVisualize();
        QCOMPARE(cmb->count(), kChannels);
        QVERIFY(f.wheel(f.page->img(), -120)); // towards the user: next channel
        QCOMPARE(f.page->SelectedChannel(), 1);
        QCOMPARE(cmb->currentIndex(), 1);
        QVERIFY(f.wheel(cmb, 120));
        QVERIFY(f.wheel(f.page->cbxTimeLock(), 120));
        QCOMPARE(f.page->SelectedChannel(), 0); // clamped, no wrap
        for (int i = 0; i < 15; ++i) f.wheel(f.page->img(), -120);
        QCOMPARE(f.page->SelectedChannel(), 11);
        // The grab follows the selected channel.
        QTest::mousePress(f.page->img(), Qt::LeftButton, {}, f.point(0, 11));
        QCOMPARE(f.page->DraggedLine(), 0);
        QVERIFY(!f.wheel(f.page->img(), 120)); // not while a point is held
        QCOMPARE(f.page->SelectedChannel(), 11);
        QTest::mouseRelease(f.page->img(), Qt::LeftButton, {}, f.point(0, 11));

        // A user's choice in the list, then the list refilled: the choice stays.
        cmb->setCurrentIndex(4);
        QCOMPARE(f.page->SelectedChannel(), 4);
        ShowChannelNames(f.w.get(), f.w->state());
        QCOMPARE(cmb->currentIndex(), 4);

        f.w->ShowPage(f.w->page(QStringLiteral("tsMessages")));
        f.wheel(f.w->messageLog()->viewport(), -120); // the log may scroll; the channel stays
        QCOMPARE(f.page->SelectedChannel(), 4);
    }
};

QTEST_MAIN(TestVisualizePage)
#include "test_visualize_page.moc"

#include "app/application.h"
#include "pages/number_text.h"
#include "lang/texts.h"
#include "pages/channel_names.h"
#include "pages/entry_check.h"
#include "pages/page_test_util.h"
#include "schedule/schedule_grid.h"
#include "schedule/schedule_page.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>

#include <cstring>

using namespace quenda;
using namespace quenda::testing;

namespace {
// Line n of the sample schedule, so that every field tells its line apart.
TScheduleRow sampleLine(int n) {
    TScheduleRow r{};
    r.Hour = int8_t(8 + n);
    r.Minute = 15;
    r.Alt = int16_t(1000 * n);
    for (int ch = 0; ch < 12; ++ch)
        r.Color16[ch] = int16_t(100 * ch + n);
    r.Timer = int16_t(5 + n);
    r.Switch = uint8_t(0x1F | 0x20); // display on, low bits set, clouds and storms off
    return r;
}

bool sameLine(const TScheduleRow& a, const TScheduleRow& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Fixture {
    std::unique_ptr<TfrmQuenda> w;
    SchedulePage* page = nullptr;
    ScheduleGrid* grid = nullptr;

    explicit Fixture(int lines, int mode = 1) {
        w = makeShownWindow();
        w->state().resizeSchedule(lines);
        for (int n = 0; n < lines; ++n)
            downloadLine(w->state(), n, sampleLine(n));
        connectInMode(*w, mode, "tsSchedule");
        page = qobject_cast<SchedulePage*>(w->page(QStringLiteral("tsSchedule")));
        grid = page->grid();
        w->ShowSchedule();
        w->state().assignRequests(0);
    }
    DeviceState& st() { return w->state(); }
    TScheduleRow& line(int n) { return st().Schedule[std::size_t(n)]; }
    QString text(int col, int row) { return grid->cellText(col, row); }
    QPoint cell(int col, int row) {
        grid->scrollTo(grid->model()->index(row - 1, col));
        return grid->cellRectOf(col, row).center();
    }
    void click(int col, int row, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseClick(grid->viewport(), b, Qt::NoModifier, cell(col, row));
    }
    void clickHeader(int col, Qt::MouseButton b) {
        QHeaderView* h = grid->horizontalHeader();
        const QPoint p(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), b, Qt::NoModifier, p);
    }
    // Clicks a cell and types into its editor, as a user does.
    QLineEdit* typeIntoCell(int col, int row, const QString& typed) {
        click(col, row);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor || editor->parentWidget() != grid->viewport()) return nullptr;
        editor->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(editor, Qt::Key_Delete);
        else
            QTest::keyClicks(editor, typed);
        return editor;
    }
    QList<int> marked() {
        QList<int> out;
        for (int n = 0; n < int(st().Schedule.size()); ++n)
            if (st().isMarked(n)) out << n;
        return out;
    }
    void clearMarks() {
        std::lock_guard g(st().StateLock);
        std::fill(st().UploadMarks.begin(), st().UploadMarks.end(), 0);
    }
    void chooseFromColumnMenu(int col, const char* item) {
        clickHeader(col, Qt::RightButton);
        QMenu* m = page->columnMenu();
        QVERIFY(m->isVisible());
        auto* a = m->findChild<QAction*>(QString::fromLatin1(item));
        QVERIFY(a && a->isEnabled());
        QTest::mouseClick(m, Qt::LeftButton, Qt::NoModifier, m->actionGeometry(a).center());
        QTRY_VERIFY(!m->isVisible());
    }
};
} // namespace

class TestSchedulePage : public QObject {
    Q_OBJECT
private slots:
    void init() {
        setDesktopLocaleName(QStringLiteral("C"));
        LoadLanguage(LanguageChoice::English);
    }

    void layoutAndHeaders() {
        Fixture f(3);
        QCOMPARE(f.grid->objectName(), QStringLiteral("sgSchedule"));
        QCOMPARE(f.grid->columnCount(), 18);
        // Columns keep their least widths and grow to show their whole header, which
        // is also the header's tool tip.
        const int widths[18] = {30, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 50, 50, 50, 50};
        const QFontMetrics fm = f.grid->horizontalHeader()->fontMetrics();
        for (int c = 0; c < 18; ++c) {
            const QTableWidgetItem* head = f.grid->horizontalHeaderItem(c);
            QVERIFY(f.grid->columnWidth(c) >= widths[c]);
            QVERIFY2(f.grid->columnWidth(c) > fm.horizontalAdvance(head->text()), qPrintable(head->text()));
            QCOMPARE(head->toolTip(), head->text());
        }
        QCOMPARE(f.grid->rowHeight(0), 18);
        const QStringList heads = {"Line", "Time", "A: Unnamed"};
        for (int c = 0; c < 3; ++c)
            QCOMPARE(f.text(c, 0), heads[c]);
        QCOMPARE(f.text(13, 0), QStringLiteral("L: Unnamed"));
        QCOMPARE(f.text(14, 0), QStringLiteral("Display"));
        QCOMPARE(f.text(16, 0), QStringLiteral("Thunderstorms"));
        QCOMPARE(f.text(17, 0), QStringLiteral("JMP pin"));
        auto* memo = f.w->findChild<QPlainTextEdit*>(QStringLiteral("memDescription"));
        QVERIFY(memo && memo->isReadOnly());
        QCOMPARE(memo->width(), 100);
        QVERIFY(memo->toPlainText().startsWith(QStringLiteral("Column \"Time\"")));
        QCOMPARE(f.grid->x() < memo->x(), true);
    }

    void fill_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("alt");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("time");
        QTest::newRow("auto") << 1 << 5000 << "Time"
                              << "07:05";
        QTest::newRow("manual") << 0 << 5000 << "Time"
                                << "07:05";
        QTest::newRow("geo") << 2 << 5000 << "Alt"
                             << "30";
        QTest::newRow("geo negative") << 2 << -10000 << "Alt"
                                      << "-90";
        QTest::newRow("geo fraction") << 2 << 1 << "Alt"
                                      << "0.01";
        QTest::newRow("geo above 1") << 2 << 12000 << "Alt"
                                     << "0";
    }
    void fill() {
        QFETCH(int, mode);
        QFETCH(int, alt);
        QFETCH(QString, head);
        QFETCH(QString, time);
        Fixture f(4, mode);
        TScheduleRow& r = f.line(2);
        r.Hour = 7;
        r.Minute = 5;
        r.Alt = int16_t(alt);
        r.Color16[0] = 2048;
        r.Color16[1] = 1;
        r.Color16[11] = 4096;
        r.Switch = 0xA0;
        r.Timer = -3;
        f.w->ShowSchedule();
        QCOMPARE(f.grid->rowCount(), 4);
        QCOMPARE(f.text(1, 0), head);
        const QStringList want = {"2", time, "50", "0.02"};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(f.text(c, 3), want[c]);
        QCOMPARE(f.text(13, 3), QStringLiteral("100"));
        QCOMPARE(f.text(14, 3), QStringLiteral("ON"));
        QCOMPARE(f.text(15, 3), QStringLiteral("OFF"));
        QCOMPARE(f.text(16, 3), QStringLiteral("ON"));
        QCOMPARE(f.text(17, 3), QStringLiteral("-3"));
        QCOMPARE(f.st().requests(), 0u);
        QVERIFY(f.marked().isEmpty());
    }

    void typeIntoCell_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("alt");
        QTest::addColumn<int>("level"); // Color16 of the column's channel (A when col is not a channel)
        QTest::addColumn<int>("timer");
        // Line 3 of the sample: 11:15, Alt 3000, A = 3, D = 303, timer 8.
        QTest::newRow("time") << 1 << 1 << "12:30" << 12 << 30 << 3000 << 3 << 8;
        QTest::newRow("no colon is minutes") << 1 << 1 << "7" << 11 << 7 << 3000 << 3 << 8;
        QTest::newRow("bad hour kept") << 1 << 1 << "x:45" << 11 << 45 << 3000 << 3 << 8;
        QTest::newRow("hour cut to 8 bits") << 1 << 1 << "300:5" << 44 << 5 << 3000 << 3 << 8;
        QTest::newRow("geo 90") << 2 << 1 << "90" << 11 << 15 << 10000 << 3 << 8;
        QTest::newRow("geo -30") << 2 << 1 << "-30" << 11 << 15 << -5000 << 3 << 8;
        QTest::newRow("geo text") << 2 << 1 << "up" << 11 << 15 << 3000 << 3 << 8;
        QTest::newRow("percent") << 1 << 5 << "12.5" << 11 << 15 << 3000 << 512 << 8;
        QTest::newRow("percent over") << 1 << 5 << "200" << 11 << 15 << 3000 << 8192 << 8;
        QTest::newRow("percent cut") << 1 << 5 << "1000" << 11 << 15 << 3000 << int(int16_t(40960)) << 8;
        QTest::newRow("percent text") << 1 << 5 << "x" << 11 << 15 << 3000 << 303 << 8;
        QTest::newRow("timer") << 1 << 17 << "-1" << 11 << 15 << 3000 << 3 << -1;
        QTest::newRow("timer cut") << 1 << 17 << "70000" << 11 << 15 << 3000 << 3 << 4464;
        QTest::newRow("timer fraction") << 1 << 17 << "1.5" << 11 << 15 << 3000 << 3 << 1;
    }
    void typeIntoCell() {
        QFETCH(int, mode);
        QFETCH(int, col);
        QFETCH(QString, typed);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, alt);
        QFETCH(int, level);
        QFETCH(int, timer);
        Fixture f(6, mode);
        f.line(3).Alt = 3000; // shows as 17.46 degrees; an untouched cell must keep it exact
        f.w->ShowSchedule();
        QLineEdit* editor = f.typeIntoCell(col, 4, typed);
        QVERIFY(editor);
        QCOMPARE(editor->text(), typed);
        QCOMPARE(f.text(col, 4), typed);
        const TScheduleRow& r = f.line(3);
        QCOMPARE(int(r.Hour), hour);
        QCOMPARE(int(r.Minute), minute);
        QCOMPARE(int(r.Alt), alt);
        QCOMPARE(int(r.Color16[col >= 2 && col <= 13 ? col - 2 : 0]), level);
        QCOMPARE(int(r.Timer), timer);
        QCOMPARE(int(r.Switch), 0x3F);
        QCOMPARE(f.marked(), QList<int>{3});
        QVERIFY(f.st().isRaised(rqSetSchedule));
        QVERIFY(sameLine(f.line(2), sampleLine(2)));
        QVERIFY(sameLine(f.line(4), sampleLine(4)));
    }

    // Emptying a cell stores nothing; the next keystroke does.
    void emptiedCellWaits() {
        Fixture f(3);
        QLineEdit* editor = f.typeIntoCell(2, 1, QString());
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString());
        QVERIFY(f.marked().isEmpty());
        QCOMPARE(f.st().requests(), 0u);
        QTest::keyClicks(editor, QStringLiteral("5"));
        QCOMPARE(int(f.line(0).Color16[0]), 205);
        QCOMPARE(f.marked(), QList<int>{0});
    }

    // Typing in the middle of a cell keeps the cursor where the user types.
    void editorCursorStays() {
        Fixture f(2);
        QLineEdit* editor = f.typeIntoCell(17, 1, QStringLiteral("15"));
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Left);
        QTest::keyClicks(editor, QStringLiteral("2"));
        QCOMPARE(editor->text(), QStringLiteral("125"));
        QCOMPARE(int(f.line(0).Timer), 125);
    }

    void switchToggles_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("text");
        QTest::newRow("display off") << 14 << 0x3F << 0x1F << "OFF";
        QTest::newRow("display on") << 14 << 0x1F << 0x3F << "ON";
        QTest::newRow("clouds") << 15 << 0x00 << 0x40 << "ON";
        QTest::newRow("storms keeps others") << 16 << 0x7F << 0xFF << "ON";
    }
    void switchToggles() {
        QFETCH(int, col);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(QString, text);
        Fixture f(5);
        f.line(2).Switch = uint8_t(before);
        f.w->ShowSchedule();
        const QModelIndex current = f.grid->currentIndex();
        f.click(col, 3);
        QCOMPARE(f.text(col, 3), text);
        QCOMPARE(int(f.line(2).Switch), after);
        QCOMPARE(f.marked(), QList<int>{2});
        QVERIFY(f.st().isRaised(rqSetSchedule));
        QCOMPARE(int(f.line(1).Switch), 0x3F);
        // The cell never takes the cursor or an editor.
        QCOMPARE(f.grid->currentIndex(), current);
        QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        // A left click on the header flips nothing.
        f.clearMarks();
        f.clickHeader(col, Qt::LeftButton);
        QVERIFY(f.marked().isEmpty());
    }

    void doubleClickFlipsTwice() {
        Fixture f(2);
        QTest::mouseDClick(f.grid->viewport(), Qt::LeftButton, Qt::NoModifier, f.cell(15, 1));
        QCOMPARE(f.text(15, 1), QStringLiteral("OFF"));
        QCOMPARE(int(f.line(0).Switch), 0x3F);
    }

    void tabPassesOverSwitches() {
        Fixture f(3);
        f.click(13, 1);
        QCOMPARE(f.grid->currentIndex(), f.grid->model()->index(0, 13));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(f.grid->currentIndex(), f.grid->model()->index(0, 17));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(f.grid->currentIndex(), f.grid->model()->index(1, 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(f.grid->currentIndex(), f.grid->model()->index(0, 17));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(f.grid->currentIndex(), f.grid->model()->index(0, 13));
        // The editor follows the cursor.
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->text(), f.text(13, 1));
    }

    void rightClicks() {
        Fixture f(5);
        f.grid->viewport()->grab(); // painted once with the old line
        f.click(0, 4, Qt::RightButton);
        QCOMPARE(int(f.st().Info.CurrentRow), 3);
        QCOMPARE(f.grid->tag(), 3);
        QCOMPARE(f.st().requests(), uint32_t(rqSetRow));
        QCOMPARE(f.page->targetChannel(), -2);
        QVERIFY(!QApplication::activePopupWidget());
        // In a channel body: remembered as the target, but no menu.
        f.st().assignRequests(0);
        f.click(6, 2, Qt::RightButton);
        QCOMPARE(f.page->targetChannel(), 4);
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(!f.page->columnMenu()->isVisible());
        QCOMPARE(f.st().requests(), 0u);
        QCOMPARE(int(f.st().Info.CurrentRow), 3);
        // On a channel header: the menu, paste and swap off until something is copied.
        f.clickHeader(7, Qt::RightButton);
        QVERIFY(f.page->columnMenu()->isVisible());
        QCOMPARE(f.page->targetChannel(), 5);
        QVERIFY(!f.page->columnMenu()->findChild<QAction*>(QStringLiteral("mnuPasteCol"))->isEnabled());
        QVERIFY(!f.page->columnMenu()->findChild<QAction*>(QStringLiteral("mnuSwapCol"))->isEnabled());
        f.page->columnMenu()->close();
        // Other headers have no menu.
        f.clickHeader(15, Qt::RightButton);
        QVERIFY(!f.page->columnMenu()->isVisible());
    }

    void copyPasteSwap_data() {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("swap");
        QTest::newRow("paste B onto D") << 1 << 3 << false;
        QTest::newRow("paste onto itself") << 1 << 1 << false;
        QTest::newRow("swap A and L") << 0 << 11 << true;
    }
    void copyPasteSwap() {
        QFETCH(int, source);
        QFETCH(int, target);
        QFETCH(bool, swap);
        Fixture f(4);
        f.st().Config.ColorName[source] = 3;
        f.st().Config.ColorName[target == source ? 5 : target] = 9;
        std::vector<TScheduleRow> before = f.st().Schedule;
        f.chooseFromColumnMenu(source + 2, "mnuCopyCol");
        QCOMPARE(f.page->sourceChannel(), source);
        QCOMPARE(f.st().requests(), 0u);
        f.chooseFromColumnMenu(target + 2, swap ? "mnuSwapCol" : "mnuPasteCol");
        for (int n = 0; n < 4; ++n) {
            const TScheduleRow& r = f.line(n);
            const TScheduleRow& b = before[std::size_t(n)];
            QCOMPARE(int(r.Color16[target]), int(b.Color16[source]));
            QCOMPARE(int(r.Color16[source]), int(swap ? b.Color16[target] : b.Color16[source]));
            QCOMPARE(f.text(target + 2, n + 1), levelPercentText(b.Color16[source]));
            for (int ch = 0; ch < 12; ++ch)
                if (ch != source && ch != target) QCOMPARE(int(r.Color16[ch]), int(b.Color16[ch]));
        }
        const int sourceName = 3;
        const int targetName = target == source ? 3 : 9;
        QCOMPARE(int(f.st().Config.ColorName[target]), sourceName);
        QCOMPARE(int(f.st().Config.ColorName[source]), swap ? targetName : sourceName);
        QCOMPARE(f.text(target + 2, 0), ChannelLetter(target) + QStringLiteral(": Green"));
        QCOMPARE(f.marked(), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(f.st().requests(), uint32_t(rqSetSchedule | rqSetConfig));
        QCOMPARE(f.page->sourceChannel(), source); // stays for the next paste
    }

    // Dragging line 4 by its first column to line 1.
    void moveRow() {
        Fixture f(6);
        // The user emptied one cell of the moving line; that field must travel with it.
        f.grid->setCellText(3, 5, QString());
        f.clearMarks();
        f.st().assignRequests(0);
        QWidget* vp = f.grid->viewport();
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, f.cell(0, 5));
        QVERIFY(f.grid->movingRow());
        QTest::mouseMove(vp, f.cell(0, 3));
        QTest::mouseMove(vp, f.cell(0, 2));
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, f.cell(0, 2));
        QVERIFY(!f.grid->movingRow());
        const int order[6] = {0, 4, 1, 2, 3, 5};
        for (int n = 0; n < 6; ++n) {
            QCOMPARE(f.text(0, n + 1), QString::number(n));
            QVERIFY2(sameLine(f.line(n), sampleLine(order[n])), qPrintable(QString::number(n)));
        }
        QCOMPARE(f.marked(), (QList<int>{1, 2, 3, 4}));
        QCOMPARE(f.st().requests(), uint32_t(rqSetSchedule));
        QCOMPARE(f.text(1, 2), QStringLiteral("12:15"));
    }

    // A press on the first column without moving leaves everything as it was.
    void rowPressWithoutMove() {
        Fixture f(3);
        QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, Qt::NoModifier, f.cell(0, 2));
        QVERIFY(f.marked().isEmpty());
        QCOMPARE(f.st().requests(), 0u);
    }

    // Rows without a line read from the device (the one row of an empty schedule, a
    // line not downloaded yet) are empty, grey and read-only, and no column or row
    // operation touches them.
    void zeroAndUnreadLinesReadOnly() {
        Fixture f(0);
        QCOMPARE(f.grid->rowCount(), 1);
        for (int c = 0; c < 18; ++c)
            QCOMPARE(f.text(c, 1), QString());
        QVERIFY(!f.typeIntoCell(2, 1, QStringLiteral("50")));
        f.click(14, 1);
        f.click(0, 1, Qt::RightButton);
        QCOMPARE(f.st().requests(), 0u);
        QCOMPARE(int(f.st().Info.CurrentRow), 0);
        QVERIFY(f.st().Schedule.empty());
        const QColor grey = f.grid->palette().color(QPalette::Disabled, QPalette::Button);
        auto pixel = [](Fixture& g, int col, int row) {
            g.grid->clearFocus();
            const QRect r = g.grid->cellRectOf(col, row);
            return QColor(g.grid->viewport()->grab().toImage().pixel(r.right() - 3, r.bottom() - 3));
        };
        QCOMPARE(pixel(f, 2, 1), grey);

        Fixture g(4);
        g.st().forgetRow(2);
        g.st().assignRequests(0);
        g.w->ShowSchedule();
        QCOMPARE(g.text(0, 3), QStringLiteral("2"));
        for (int c = 1; c < 18; ++c)
            QCOMPARE(g.text(c, 3), QString());
        QCOMPARE(pixel(g, 2, 3), grey);
        QVERIFY(!g.typeIntoCell(2, 3, QStringLiteral("50")));
        g.click(14, 3);
        // Dragging line 3 over the unread line is refused.
        QWidget* vp = g.grid->viewport();
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, g.cell(0, 4));
        QTest::mouseMove(vp, g.cell(0, 2));
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, g.cell(0, 2));
        QCOMPARE(g.text(0, 2), QStringLiteral("1"));
        QCOMPARE(g.text(2, 4), levelPercentText(sampleLine(3).Color16[0]));
        // A column changes every line: it waits until all were read.
        g.chooseFromColumnMenu(2, "mnuCopyCol");
        g.clickHeader(3, Qt::RightButton);
        auto* paste = g.page->columnMenu()->findChild<QAction*>(QStringLiteral("mnuPasteCol"));
        QVERIFY(!paste->isEnabled());
        g.page->columnMenu()->close();
        g.page->mnuSwapColClick();
        QVERIFY(g.marked().isEmpty());
        QCOMPARE(g.st().requests(), 0u);
        for (int n = 0; n < 4; ++n)
            if (n != 2) QVERIFY(sameLine(g.line(n), sampleLine(n)));
    }

    // A click on the current cell edits it at once: the keys typed right after it land
    // there, never in a line found by its text; a refresh leaves the open editor alone,
    // and leaving the cell shows what is stored.
    void clickThenTypeEditsThatCell() {
        Fixture f(12);
        f.line(10).Color16[0] = 123; // shows "3"
        f.w->ShowSchedule();
        QLineEdit* editor = f.typeIntoCell(2, 10, QStringLiteral("1"));
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return); // closes the editor, the cell stays current
        QCOMPARE(f.grid->currentIndex(), f.grid->model()->index(9, 2));
        f.clearMarks();
        f.click(2, 10);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("33"));
        QCOMPARE(f.grid->currentIndex(), f.grid->model()->index(9, 2));
        QCOMPARE(int(f.line(9).Color16[0]), 1352); // 33 %
        QCOMPARE(int(f.line(10).Color16[0]), 123);
        QCOMPARE(f.marked(), QList<int>{9});
        editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("33"));

        f.line(9).Color16[0] = 2048; // a refresh brings other values
        f.line(9).Timer = 99;
        f.w->ShowSchedule();
        QCOMPARE(editor->text(), QStringLiteral("33"));
        QCOMPARE(f.text(17, 10), QStringLiteral("99"));
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(f.text(2, 10), QStringLiteral("50"));
    }

    // Text that does not parse in full marks the editor; leaving the cell shows the
    // value actually stored. Percent cells take either decimal mark.
    void unparsedCellMarkedAndReplaced() {
        Fixture f(3);
        QLineEdit* editor = f.typeIntoCell(1, 2, QStringLiteral("9.30"));
        QVERIFY(editor);
        QVERIFY(isMarkedUnparsed(editor));
        QCOMPARE(int(f.line(1).Hour), 9);
        QCOMPARE(int(f.line(1).Minute), 9); // "9" was stored
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(f.text(1, 2), QStringLiteral("09:09"));
        editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("50,5"));
        QVERIFY(!isMarkedUnparsed(editor));
        QCOMPARE(int(f.line(1).Color16[0]), 2068);
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(f.text(2, 2), levelPercentText(2068));
    }

    void cellColours() {
        Fixture f(3);
        f.st().Config.ColorName[0] = 2;  // red
        f.st().Config.ColorName[1] = 99; // unknown: as index 0
        f.st().Info.CurrentRow = 1;
        f.line(0).Switch = 0x20; // display on, clouds and storms off
        f.w->ShowModeAndSettings();
        f.w->ShowSchedule();
        f.w->ShowDeviceInfo();
        f.grid->clearFocus();
        const QPalette pal = f.grid->palette();
        auto at = [&](int col, int row) {
            f.grid->scrollTo(f.grid->model()->index(row - 1, col));
            const QImage img = f.grid->viewport()->grab().toImage();
            const QRect shown = f.grid->cellRectOf(col, row);
            return QColor(img.pixel(shown.right() - 3, shown.bottom() - 3));
        };
        QCOMPARE(at(2, 1), QColor(0xFF, 0x80, 0x80));
        QCOMPARE(at(3, 1), QColor(Qt::white));
        QCOMPARE(at(14, 1), pal.color(QPalette::Base));
        QCOMPARE(at(15, 1), pal.color(QPalette::Button));
        QCOMPARE(at(17, 1), pal.color(QPalette::Base));
        QCOMPARE(at(0, 1), pal.color(QPalette::Button));
        QCOMPARE(at(0, 2), pal.color(QPalette::Highlight)); // the current line
        // The marker follows the device.
        f.st().Info.CurrentRow = 2;
        f.w->ShowDeviceInfo();
        QCOMPARE(f.grid->tag(), 2);
        QCOMPARE(at(0, 3), pal.color(QPalette::Highlight));
    }

    void modeChangeRefills() {
        Fixture f(3, 1);
        f.line(1).Alt = 10000;
        f.w->SetMode(2);
        QCOMPARE(f.text(1, 0), QStringLiteral("Alt"));
        QCOMPARE(f.text(1, 2), QStringLiteral("90"));
        // With a download pending, the grid waits for it.
        f.st().raise(rqGetSchedule);
        f.w->SetMode(1);
        QCOMPARE(f.text(1, 0), QStringLiteral("Alt"));
        f.st().clearRequests(rqGetSchedule);
        f.w->ShowPage(f.w->page(QStringLiteral("tsMessages")));
        f.w->ShowPage(f.page);
        QCOMPARE(f.text(1, 0), QStringLiteral("Time"));
        QCOMPARE(f.text(1, 2), QStringLiteral("09:15"));
    }

    // Editing another cell in mode Geo must not move the stored altitude by rounding.
    void geoAltitudeKeptExact() {
        Fixture f(2, 2);
        f.line(0).Alt = 1; // shows 0.01, which would read back as 2
        f.w->ShowSchedule();
        QVERIFY(f.typeIntoCell(4, 1, QStringLiteral("7")));
        QCOMPARE(int(f.line(0).Alt), 1);
        QCOMPARE(int(f.line(0).Color16[2]), 287);
    }

    // Every cell of 48 lines changes on each fill; reported, with a bound only against
    // something pathological.
    void fillTime() {
        Fixture f(48);
        const std::vector<TScheduleRow> a = f.st().Schedule;
        std::vector<TScheduleRow> b = a;
        for (auto& r : b) {
            r.Hour = int8_t(r.Hour + 1);
            for (int ch = 0; ch < 12; ++ch)
                r.Color16[ch] = int16_t(r.Color16[ch] + 7);
            r.Switch ^= 0xE0;
            r.Timer = int16_t(r.Timer + 1);
        }
        const int runs = 40;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < runs; ++i) {
            f.st().Schedule = (i % 2) ? a : b;
            f.page->ShowSchedule();
        }
        const double fill = double(t.nsecsElapsed()) / 1e6 / runs;
        t.restart();
        for (int i = 0; i < runs; ++i) {
            f.st().Schedule = (i % 2) ? a : b;
            f.page->ShowSchedule();
            f.grid->viewport()->repaint();
        }
        const double painted = double(t.nsecsElapsed()) / 1e6 / runs;
        qInfo("ShowSchedule, 48 lines, all cells changed: %.2f ms; with the repaint: %.2f ms", fill, painted);
        QCOMPARE(f.text(2, 48), levelPercentText(a[47].Color16[0]));
        QVERIFY(fill < 1000);
    }
};

int main(int argc, char** argv) {
    QuendaApplication app(argc, argv);
    TestSchedulePage t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_schedule_page.moc"

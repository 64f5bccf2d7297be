#include "app/application.h"
#include "pages/number_text.h"
#include "lang/texts.h"
#include "pages/channel_names.h"
#include "pages/channel_page.h"
#include "pages/entry_check.h"
#include "page_test_util.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QWheelEvent>

using namespace quenda;
using namespace quenda::testing;

namespace {
ChannelPage* pageOf(TfrmQuenda& w, int channel) {
    return qobject_cast<ChannelPage*>(w.page(QLatin1String(channel < 6 ? "tsChannels" : "tsChannelsGL")));
}
QSlider* trb(TfrmQuenda& w, int n) {
    return pageOf(w, n)->trb(n);
}
QLineEdit* edt(TfrmQuenda& w, int n) {
    return pageOf(w, n)->edt(n);
}
QAction* action(TfrmQuenda& w, const char* name) {
    return w.findChild<QAction*>(QString::fromLatin1(name));
}
// Counts one kind of event on the given widgets.
struct EventCounter : QObject {
    EventCounter(QEvent::Type type, std::initializer_list<QWidget*> widgets) : type_(type) {
        for (QWidget* w : widgets) w->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == type_;
        return false;
    }
    int count = 0;

private:
    QEvent::Type type_;
};
} // namespace

class TestChannelPage : public QObject {
    Q_OBJECT
private slots:
    void init() { setDesktopLocaleName(QStringLiteral("C")); }

    void rowsAndControlsByName() {
        auto w = makeShownWindow();
        for (int n = 0; n < 12; ++n) {
            const QString s = QString::number(n);
            const char* page = n < 6 ? "tsChannels" : "tsChannelsGL";
            for (const char* prefix : {"lblName", "cmbName", "trb", "edt", "btnOff", "btnOn"}) {
                QWidget* c = w->findChild<QWidget*>(QString::fromLatin1(prefix) + s);
                QVERIFY2(c, prefix);
                QCOMPARE(c->parentWidget()->objectName(), QString::fromLatin1(page));
            }
            QCOMPARE(w->findChild<QLabel*>("lblName" + s)->text(), "Label for channel " + ChannelLetter(n));
            QCOMPARE(w->findChild<QComboBox*>("cmbName" + s)->count(), 16);
            QCOMPARE(w->findChild<QComboBox*>("cmbName" + s)->itemText(1), QStringLiteral("PureWhite"));
        }
        QSlider* s = trb(*w, 7);
        QCOMPARE(s->maximum(), 4096);
        QCOMPARE(s->pageStep(), 128);
        QCOMPARE(s->tickInterval(), 512);
    }

    // The slider is dragged with the mouse; its value, the percent edit and the record agree.
    void dragTrackBar() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannels");
        QSlider* s = trb(*w, 0);
        QVERIFY(dragToExactly(w.get(), s, 2048));
        QVERIFY(s->hasFocus());
        QCOMPARE(edt(*w, 0)->text(), QStringLiteral("50"));
        QCOMPARE(int(w->state().Info.Channel[0]), 2048);
        QVERIFY(w->state().isRaised(rqSetChannels));
        // Releasing where it is raises nothing more.
        w->state().assignRequests(0);
        release(s);
        QVERIFY(!s->isSliderDown());
        QCOMPARE(w->state().requests(), 0u);
        // Keys on the focused slider count as the user's too.
        QTest::keyClick(s, Qt::Key_PageUp);
        QCOMPARE(int(w->state().Info.Channel[0]), 2048 + 128);
        QCOMPARE(edt(*w, 0)->text(), QStringLiteral("53.13"));
        QVERIFY(w->state().isRaised(rqSetChannels));
    }

    void typePercent_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("level");  // stored value
        QTest::addColumn<int>("slider"); // what the track bar shows
        QTest::newRow("12.5") << "C"
                              << "12.5" << true << 512 << 512;
        QTest::newRow("comma") << "de_DE"
                               << "12,5" << true << 512 << 512;
        QTest::newRow("comma on a point desktop") << "C"
                                                  << "50,5" << true << 2068 << 2068;
        QTest::newRow("tie to even") << "C"
                                     << "0.0122" << true << 0 << 0; // 0.4997 -> 0
        QTest::newRow("over 100") << "C"
                                  << "200" << true << 8192 << 4096;
        QTest::newRow("cut to 16 bits") << "C"
                                        << "1000" << true << int(int16_t(40960)) << 4096;
        QTest::newRow("negative") << "C"
                                  << "-5" << true << -205 << 0;
        QTest::newRow("text") << "C"
                              << "abc" << false << 1000 << 1000;
        QTest::newRow("empty") << "C"
                               << "" << false << 1000 << 1000;
        QTest::newRow("letter first") << "C"
                                      << "x1" << false << 1000 << 1000;
    }
    void typePercent() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, stored);
        QFETCH(int, level);
        QFETCH(int, slider);
        setDesktopLocaleName(locale);
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannels");
        w->state().Info.Channel[3] = 1000;
        w->ShowDeviceInfo();
        QCOMPARE(trb(*w, 3)->value(), 1000);
        w->state().assignRequests(0);
        // The last keystroke decides; "abc" never parses, so nothing is touched at all.
        typeInto(edt(*w, 3), text);
        QVERIFY(edt(*w, 3)->hasFocus());
        QCOMPARE(int(w->state().Info.Channel[3]), level);
        QCOMPARE(trb(*w, 3)->value(), slider);
        if (!stored)
            QVERIFY(!w->state().isRaised(rqSetChannels));
        else
            QVERIFY(w->state().isRaised(rqSetChannels));
    }

    // Text that does not parse is marked while typed and, on leaving, replaced by the
    // stored value; the channel colour comes back with it.
    void unparsedPercentMarkedAndReplaced() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannels");
        QLineEdit* e = edt(*w, 2);
        const QColor channelColour = e->palette().color(QPalette::Base);
        typeInto(e, QStringLiteral("5x"));
        QCOMPARE(int(w->state().Info.Channel[2]), 205); // "5" was stored
        QVERIFY(isMarkedUnparsed(e));
        QVERIFY(e->palette().color(QPalette::Base) != channelColour);
        edt(*w, 3)->setFocus(Qt::TabFocusReason);
        QCOMPARE(e->text(), QStringLiteral("5"));
        QVERIFY(!isMarkedUnparsed(e));
        QCOMPARE(e->palette().color(QPalette::Base), channelColour);
        typeInto(e, QStringLiteral("33.333"));
        QVERIFY(!isMarkedUnparsed(e));
        edt(*w, 3)->setFocus(Qt::TabFocusReason);
        QCOMPARE(e->text(), levelPercentText(1365)); // what the level holds
    }

    // The wheel changes only a control that has the focus; then it is the user's change.
    void wheelNeedsFocus() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannels");
        QComboBox* c = pageOf(*w, 1)->cmbName(1);
        QSlider* s = trb(*w, 1);
        edt(*w, 4)->setFocus();
        auto wheel = [](QWidget* target, int delta) {
            const QPoint at = target->rect().center();
            QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &e);
        };
        wheel(c, -120); // down the list
        wheel(s, 120);  // up the scale
        QCOMPARE(c->currentIndex(), 0);
        QCOMPARE(s->value(), 0);
        QVERIFY(!c->hasFocus() && !s->hasFocus());
        QCOMPARE(w->state().requests(), 0u);
        s->setFocus();
        wheel(s, 120);
        QVERIFY(s->value() > 0);
        QCOMPARE(int(w->state().Info.Channel[1]), s->value());
        QVERIFY(w->state().isRaised(rqSetChannels));
    }

    void onOffButtons() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannelsGL");
        auto* page = pageOf(*w, 9);
        QTest::mouseClick(page->btnOn(9), Qt::LeftButton);
        QCOMPARE(int(w->state().Info.Channel[9]), 4096);
        QCOMPARE(trb(*w, 9)->value(), 4096);
        QCOMPARE(edt(*w, 9)->text(), QStringLiteral("100"));
        QVERIFY(w->state().isRaised(rqSetChannels));
        w->state().assignRequests(0);
        QTest::mouseClick(page->btnOff(9), Qt::LeftButton);
        QCOMPARE(int(w->state().Info.Channel[9]), 0);
        QCOMPARE(edt(*w, 9)->text(), QStringLiteral("0"));
        QVERIFY(w->state().isRaised(rqSetChannels));
        // Every click acts, also on a value already there.
        w->state().assignRequests(0);
        QTest::mouseClick(page->btnOff(9), Qt::LeftButton);
        QVERIFY(w->state().isRaised(rqSetChannels));
        QCOMPARE(int(w->state().Info.Channel[8]), 0); // neighbours untouched
    }

    void allChannels_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("startPage");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("endPage");
        QTest::newRow("0% from the schedule") << "mnuAllOff"
                                              << "tsSchedule" << 0 << "0"
                                              << "tsChannels";
        QTest::newRow("20%") << "mnuAll20"
                             << "tsMessages" << 819 << "20"
                             << "tsChannels";
        QTest::newRow("100% stays on G-L") << "mnuAllOn"
                                           << "tsChannelsGL" << 4096 << "100"
                                           << "tsChannelsGL";
    }
    void allChannels() {
        QFETCH(QString, item);
        QFETCH(QString, startPage);
        QFETCH(int, level);
        QFETCH(QString, text);
        QFETCH(QString, endPage);
        auto w = makeShownWindow();
        connectInMode(*w, 1, startPage.toLatin1().constData()); // works in every mode
        for (int n = 0; n < 12; ++n)
            w->state().Info.Channel[n] = int16_t(100 + n);
        w->ShowDeviceInfo();
        QAction* a = w->findChild<QAction*>(item);
        QVERIFY(a && a->isEnabled());
        a->trigger();
        for (int n = 0; n < 12; ++n) {
            QCOMPARE(int(w->state().Info.Channel[n]), level);
            QCOMPARE(trb(*w, n)->value(), level);
            QCOMPARE(edt(*w, n)->text(), text);
        }
        QCOMPARE(w->state().requests(), uint32_t(rqSetChannels));
        QCOMPARE(w->pages()->currentWidget()->objectName(), endPage);
    }

    void allChannelsByShortcut() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannels");
        QTest::keyClick(w.get(), Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(int(w->state().Info.Channel[11]), 819);
        QCOMPARE(edt(*w, 11)->text(), QStringLiteral("20"));
        // Disconnected, the items are off.
        w->EnableControls(false);
        QVERIFY(!action(*w, "mnuAllOn")->isEnabled());
    }

    // A value arriving from the device never moves what the user holds.
    void arrivingValuesSpareTouchedControls() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannels");
        QSlider* held = trb(*w, 1);
        QVERIFY(dragToExactly(w.get(), held, 1024));
        QCOMPARE(int(w->state().Info.Channel[1]), 1024);
        // The device still reports older values.
        w->state().Info.Channel[1] = 3000;
        w->state().Info.Channel[2] = 1000;
        w->state().Info.Channel[7] = 4096;
        w->ShowDeviceInfo();
        QCOMPARE(held->value(), 1024);
        QCOMPARE(edt(*w, 1)->text(), QStringLiteral("73.24")); // the edit is not held
        QCOMPARE(trb(*w, 2)->value(), 1000);
        QCOMPARE(edt(*w, 2)->text(), QStringLiteral("24.41"));
        QCOMPARE(trb(*w, 7)->value(), 4096); // the other page too
        release(held);

        // An edit being typed in keeps its text.
        typeInto(edt(*w, 4), QStringLiteral("33"));
        w->state().Info.Channel[4] = 0;
        w->ShowDeviceInfo();
        QCOMPARE(edt(*w, 4)->text(), QStringLiteral("33"));
        QCOMPARE(trb(*w, 4)->value(), 0);
        // The refresh itself raises nothing.
        w->state().assignRequests(0);
        w->state().Info.Channel[5] = 77;
        w->ShowDeviceInfo();
        QCOMPARE(w->state().requests(), 0u);
    }

    // Level controls are for Manual mode only; names are usable whenever connected.
    void enabling_data() {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("levels");
        QTest::addColumn<bool>("names");
        QTest::newRow("manual") << true << 0 << true << true;
        QTest::newRow("auto") << true << 1 << false << true;
        QTest::newRow("flash") << true << 4 << false << true;
        QTest::newRow("disconnected") << false << 0 << false << false;
    }
    void enabling() {
        QFETCH(bool, connected);
        QFETCH(int, mode);
        QFETCH(bool, levels);
        QFETCH(bool, names);
        auto w = makeShownWindow();
        // From the opposite state, so that both routines must change something.
        w->state().Config.Mode = mode == 0 ? 1 : 0;
        w->EnableControls(!connected);
        w->ShowModeAndSettings();
        w->state().Config.Mode = uint8_t(mode);
        w->EnableControls(connected);
        for (int pass = 0; pass < 2; ++pass) {
            for (int n : {0, 5, 6, 11}) {
                auto* p = pageOf(*w, n);
                QCOMPARE(p->trb(n)->isEnabled(), levels);
                QCOMPARE(p->edt(n)->isEnabled(), levels);
                QCOMPARE(p->btnOn(n)->isEnabled(), levels);
                QCOMPARE(p->btnOff(n)->isEnabled(), levels);
                QCOMPARE(p->cmbName(n)->isEnabled(), names);
                QCOMPARE(w->findChild<QLabel*>("lblName" + QString::number(n))->isEnabled(), names);
            }
            // The configuration display afterwards keeps the same picture.
            w->ShowModeAndSettings();
        }
    }

    void colorNameChosen() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannels");
        QComboBox* c = pageOf(*w, 2)->cmbName(2);
        c->setFocus();
        QTest::keyClick(c, Qt::Key_Down); // Unnamed -> PureWhite
        QTest::keyClick(c, Qt::Key_Down); // -> Red
        QCOMPARE(int(w->state().Config.ColorName[2]), 2);
        QVERIFY(w->state().isRaised(rqSetConfig));
        QCOMPARE(ColorName(w->state().Config.ColorName[2]), QStringLiteral("Red"));
        auto* grid = w->findChild<QTableWidget*>(QStringLiteral("sgSchedule"));
        QCOMPARE(grid->horizontalHeaderItem(4)->text(), QStringLiteral("C: Red"));
        QCOMPARE(edt(*w, 2)->palette().color(QPalette::Base), QColor(0xFF, 0x80, 0x80));
        QCOMPARE(grid->horizontalHeaderItem(2)->text(), QStringLiteral("A: Unnamed"));
    }

    // A configuration arriving moves the lists, the headers and the colours, and lets a
    // list the user holds open alone.
    void configurationSpreadsNames() {
        auto w = makeShownWindow();
        connectInMode(*w, 0, "tsChannelsGL");
        w->state().Config.ColorName[6] = 12;
        w->state().Config.ColorName[11] = 200; // unknown: shown as index 0
        w->state().assignRequests(0);
        w->ShowModeAndSettings();
        QCOMPARE(pageOf(*w, 6)->cmbName(6)->currentIndex(), 12);
        QCOMPARE(pageOf(*w, 11)->cmbName(11)->currentIndex(), 0);
        auto* grid = w->findChild<QTableWidget*>(QStringLiteral("sgSchedule"));
        QCOMPARE(grid->horizontalHeaderItem(8)->text(), QStringLiteral("G: Cyan"));
        QCOMPARE(grid->horizontalHeaderItem(13)->text(), QStringLiteral("L: Unnamed"));
        QCOMPARE(edt(*w, 6)->palette().color(QPalette::Base), QColor(0x80, 0xFF, 0xFF));
        QCOMPARE(edt(*w, 11)->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(w->state().requests(), 0u); // showing never raises

        // The same configuration at the next poll: nothing is set again, so nothing is
        // relaid or repainted, and the visualization keeps the channel the user chose.
        auto* visualize = w->findChild<QComboBox*>(QStringLiteral("cmbVisualize"));
        visualize->setCurrentIndex(6);
        QWidget* coloured[] = {edt(*w, 6), edt(*w, 7)};
        EventCounter palettes(QEvent::PaletteChange, {coloured[0], coloured[1]});
        int refills = 0;
        connect(visualize->model(), &QAbstractItemModel::rowsInserted, this, [&] { ++refills; });
        w->ShowModeAndSettings();
        w->ShowModeAndSettings();
        QCOMPARE(palettes.count, 0);
        QCOMPARE(refills, 0);
        QCOMPARE(visualize->currentIndex(), 6);
        // One name changes: it reaches every place, the choice stays.
        w->state().Config.ColorName[6] = 2;
        w->ShowModeAndSettings();
        QCOMPARE(grid->horizontalHeaderItem(8)->text(), QStringLiteral("G: Red"));
        QCOMPARE(visualize->itemText(6), QStringLiteral("G: Red"));
        QCOMPARE(visualize->currentIndex(), 6);
        QCOMPARE(coloured[0]->palette().color(QPalette::Base), QColor(0xFF, 0x80, 0x80));
        QCOMPARE(coloured[1]->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(palettes.count, 1);
        // A list held open keeps its choice; the first poll after it closed sets it,
        // though the configuration is the same as at the poll before.
        QComboBox* held = pageOf(*w, 6)->cmbName(6);
        held->showPopup();
        QVERIFY(held->view()->isVisible());
        w->state().Config.ColorName[6] = 5;
        w->ShowModeAndSettings();
        QCOMPARE(held->currentIndex(), 2);
        QCOMPARE(grid->horizontalHeaderItem(8)->text(), QStringLiteral("G: UV"));
        held->hidePopup();
        w->ShowModeAndSettings();
        QCOMPARE(held->currentIndex(), 5);
    }

    void colorTable_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("color");
        QTest::newRow("0") << 0 << "Unnamed" << 0xFFFFFFFFu;
        QTest::newRow("5 UV") << 5 << "UV" << 0xFFC080FFu;
        QTest::newRow("8 warm") << 8 << "WarmWhite" << 0xFFFFFFE0u;
        QTest::newRow("11 royal") << 11 << "RoyalBlue" << 0xFFA080FFu;
        QTest::newRow("15 deep red") << 15 << "Deep red" << 0xFFC08080u;
        QTest::newRow("16") << 16 << "Unnamed" << 0xFFFFFFFFu;
        QTest::newRow("-1") << -1 << "Unnamed" << 0xFFFFFFFFu;
    }
    void colorTable() {
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(uint, color);
        LoadLanguage(LanguageChoice::English);
        QCOMPARE(ColorName(index), name);
        QCOMPARE(uint(ChannelPalette(index)), color);
    }

    void germanNames() {
        auto w = makeShownWindow({QStringLiteral("-german")});
        QComboBox* c = pageOf(*w, 0)->cmbName(0);
        QCOMPARE(c->itemText(2), QStringLiteral("Rot"));
        QCOMPARE(c->currentText(), QStringLiteral("Unbenannt"));
        QCOMPARE(w->findChild<QTableWidget*>(QStringLiteral("sgSchedule"))->horizontalHeaderItem(3)->text(),
                 QStringLiteral("B: Unbenannt"));
        LoadLanguage(LanguageChoice::English);
    }
};

int main(int argc, char** argv) {
    QuendaApplication app(argc, argv);
    TestChannelPage t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_channel_page.moc"

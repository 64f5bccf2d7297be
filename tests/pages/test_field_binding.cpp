#include "pages/services.h"
#include "pages/enable_table.h"
#include "pages/entry_check.h"
#include "pages/field_binding.h"
#include "pages/number_text.h"
#include "pages/window_services.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>

using namespace quenda;

namespace {
// A window that only holds the device state.
class FakeWindow : public WindowServices {
public:
    DeviceState& state() override { return state_; }
    void AddLog(const QString&) override {}
    void ShowPage(QWidget*) override {}
    void SetMode(int) override {}
    void ShowChannelsPage() override {}
    void ShowExpertSettings() override {}
    void ShowWeatherRatios() override {}
    bool isConnected() const override { return true; }
    Dialogs& dialogs() override { return dialogs_; }
    Clock& clock() override { return clock_; }
    QWidget* mainWidget() override { return nullptr; }
    QLabel* statusPanel(int) const override { return nullptr; }
    const QString& portName() const override { return port_; }
    void applyEnableRules(std::initializer_list<EnableWhen>) override {}

private:
    DeviceState state_;
    Dialogs dialogs_;
    Clock clock_;
    QString port_;
};

// One edit with its track bar, a check box and a radio button, bound as a page binds them.
struct Bench {
    FakeWindow win;
    QWidget page;
    QLineEdit* edit = new QLineEdit(&page);
    QSlider* bar = new QSlider(Qt::Horizontal, &page);
    QCheckBox* check = new QCheckBox(&page);
    QRadioButton* radio = new QRadioButton(&page);
    QRadioButton* radio1 = new QRadioButton(&page);
    QLineEdit* other = new QLineEdit(&page);
    FieldBinding binding{win, &page};
    int hookRuns = 0;

    // `index`: the element of an array field (0 for a scalar).
    Bench(RecordKind record, const char* field, Conv conv, uint32_t request, int index = 3) {
        edit->setObjectName(QStringLiteral("edtValue"));
        bar->setObjectName(QStringLiteral("trbValue"));
        check->setObjectName(QStringLiteral("chkFlag"));
        radio->setObjectName(QStringLiteral("rbtMode2"));
        radio1->setObjectName(QStringLiteral("rbtMode1"));
        auto* l = new QVBoxLayout(&page);
        for (QWidget* w : std::initializer_list<QWidget*>{edit, bar, check, radio, radio1, other})
            l->addWidget(w);
        binding.add({"edtValue", record, field, conv, request, 0, "trbValue", 0, 200, 20, 50}, index, 1,
                     [this, index](int i) { hookRuns += i == index; });
        binding.add({"chkFlag", RecordKind::Config, "Flag", Conv::FlagBit, rqSetConfig, 0x04});
        binding.add({"rbtMode1", RecordKind::Config, "Mode", Conv::Radio, rqSetConfig, 1});
        binding.add({"rbtMode2", RecordKind::Config, "Mode", Conv::Radio, rqSetConfig, 2});
        page.show();
        QApplication::setActiveWindow(&page);
        if (!QTest::qWaitForWindowActive(&page)) qWarning("bench did not become active");
        win.state().assignRequests(0);
    }
    // Pastes over the edit's text: one change, as the user makes it.
    void type(const QString& text) {
        edit->setFocus(Qt::MouseFocusReason);
        edit->selectAll();
        edit->insert(text);
    }
};
} // namespace

class TestFieldBinding : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setDesktopLocaleName(QStringLiteral("C")); }

    // Typed text through each conversion: what the record keeps, the track bar's position
    // (clamped to its range), and the text a later refresh writes back.
    void typedValue_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("record");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("conv");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<int>("bar");
        QTest::addColumn<QString>("shown");
        const int info = int(RecordKind::Info), expert = int(RecordKind::Expert), config = int(RecordKind::Config);
        QTest::newRow("percent of 4096") << "C" << info << "Channel" << int(Conv::LevelPercent) << "1.5" << qint64(61)
                                         << 61 << "1.49";
        QTest::newRow("percent cut to 16 bits") << "C" << info << "Channel" << int(Conv::LevelPercent) << "1700"
                                                << qint64(4096) << 200 << "100";
        QTest::newRow("level byte") << "C" << expert << "LCDBLNight" << int(Conv::LevelByte) << "50" << qint64(128)
                                    << 128 << "50.2";
        QTest::newRow("byte cut to 8 bits") << "C" << expert << "FanOff" << int(Conv::Whole) << "300" << qint64(44)
                                            << 200 << "44";
        QTest::newRow("tenths, decimal comma") << "de_DE" << expert << "TempOffset" << int(Conv::Tenths) << "-1,5"
                                               << qint64(-15) << 0 << "-1,5";
        QTest::newRow("tenths, point on a comma desktop") << "de_DE" << info << "Voltage" << int(Conv::TenthsShort)
                                                          << "12.0" << qint64(120) << 120 << "12";
        QTest::newRow("temperature in Celsius") << "C" << expert << "TempWaterLow" << int(Conv::Temp) << "24.5"
                                                << qint64(245) << 200 << "24.5";
        QTest::newRow("signed cut") << "C" << config << "Lat" << int(Conv::Whole) << "40000" << qint64(-25536) << 200
                                    << "-25536";
    }
    void typedValue() {
        QFETCH(QString, locale);
        QFETCH(int, record);
        QFETCH(QString, field);
        QFETCH(int, conv);
        QFETCH(QString, typed);
        QFETCH(qint64, stored);
        QFETCH(int, bar);
        QFETCH(QString, shown);
        setDesktopLocaleName(locale);
        const QByteArray name = field.toLatin1();
        const auto kind = RecordKind(record);
        const FieldDesc* f = findField(kind, name.constData());
        const int index = f->count > 1 ? 3 : 0;
        Bench b(kind, name.constData(), Conv(conv), rqSetExpert, index);
        b.type(typed);
        const void* r = kind == RecordKind::Info ? static_cast<const void*>(&b.win.state().Info)
                        : kind == RecordKind::Config ? static_cast<const void*>(&b.win.state().Config)
                                                     : static_cast<const void*>(&b.win.state().Expert);
        QCOMPARE(readField(r, *f, index), stored);
        QCOMPARE(b.bar->value(), bar);
        QVERIFY(b.win.state().isRaised(rqSetExpert));
        QVERIFY(b.hookRuns > 0);
        QVERIFY(!isMarkedUnparsed(b.edit));
        // A refresh leaves the focused edit as typed, then rewrites it once the focus moved.
        b.binding.refresh();
        QCOMPARE(b.edit->text(), typed);
        b.other->setFocus();
        b.binding.refresh();
        QCOMPARE(b.edit->text(), shown);
    }

    // Text that is no number is marked and changes neither the record nor the requests;
    // a later number clears the mark.
    void unparsableText() {
        Bench b(RecordKind::Info, "Channel", Conv::LevelPercent, rqSetChannels);
        b.win.state().Info.Channel[3] = 1000;
        for (const char* text : {"abc", "1..5", "1e3", "-"}) {
            b.type(QString::fromLatin1(text));
            QVERIFY2(isMarkedUnparsed(b.edit), text);
            QCOMPARE(int16_t(b.win.state().Info.Channel[3]), int16_t(1000));
            QVERIFY(!b.win.state().isRaised(rqSetChannels));
        }
        b.type(QStringLiteral("50"));
        QVERIFY(!isMarkedUnparsed(b.edit));
        QCOMPARE(int16_t(b.win.state().Info.Channel[3]), int16_t(2048));
    }

    // The track bar held by the user stores its position and rewrites the edit;
    // an unchanged position raises nothing, and a refresh does not move a held bar.
    void trackBar() {
        Bench b(RecordKind::Info, "Channel", Conv::LevelPercent, rqSetChannels);
        QCOMPARE(b.bar->maximum(), 200);
        QCOMPARE(b.bar->pageStep(), 20);
        QCOMPARE(b.bar->tickInterval(), 50);
        b.bar->setFocus();
        b.bar->setValue(150);
        QCOMPARE(int16_t(b.win.state().Info.Channel[3]), int16_t(150));
        QCOMPARE(b.edit->text(), QStringLiteral("3.66"));
        QVERIFY(b.win.state().isRaised(rqSetChannels));
        b.win.state().assignRequests(0);
        b.win.state().Info.Channel[3] = 20;
        b.binding.refresh(RecordKind::Info);
        QCOMPARE(b.bar->value(), 150);
        QCOMPARE(b.edit->text(), QStringLiteral("0.49"));
        b.bar->setValue(20);
        QVERIFY(!b.win.state().isRaised(rqSetChannels));
        // A change made by the program (no focus) is not the user's.
        b.other->setFocus();
        b.bar->setValue(90);
        QCOMPARE(int16_t(b.win.state().Info.Channel[3]), int16_t(20));
    }

    // Check box on one bit and radio button with a value: the other bits stay, the
    // refresh follows the record.
    void buttons() {
        Bench b(RecordKind::Info, "Channel", Conv::LevelPercent, rqSetChannels);
        b.win.state().Config.Flag = 0x81;
        b.check->click();
        QCOMPARE(b.win.state().Config.Flag, uint8_t(0x85));
        b.check->click();
        QCOMPARE(b.win.state().Config.Flag, uint8_t(0x81));
        QVERIFY(b.win.state().isRaised(rqSetConfig));
        b.radio->click();
        QCOMPARE(b.win.state().Config.Mode, uint8_t(2));
        b.win.state().Config.Mode = 1;
        b.win.state().Config.Flag = 0x04;
        b.binding.refresh(RecordKind::Config);
        QVERIFY(b.radio1->isChecked());
        QVERIFY(!b.radio->isChecked());
        QVERIFY(b.check->isChecked());
    }

    // The poll refreshes twice a second: an edit that already shows the record keeps its
    // cursor and selection; one that shows something else is rewritten.
    void refreshKeepsWhatIsShown() {
        Bench b(RecordKind::Info, "Channel", Conv::LevelPercent, rqSetChannels);
        b.other->setFocus();
        b.win.state().Info.Channel[3] = 2048;
        b.binding.refresh(RecordKind::Info);
        QCOMPARE(b.edit->text(), QStringLiteral("50"));
        b.type(QStringLiteral("25"));
        b.other->setFocus();
        QCOMPARE(b.edit->text(), QStringLiteral("25"));
        b.edit->setSelection(0, 1);
        b.binding.refresh(RecordKind::Info);
        QCOMPARE(b.edit->selectedText(), QStringLiteral("2"));
        QCOMPARE(b.edit->cursorPosition(), 1);
        QCOMPARE(b.bar->value(), 200); // 1024 held to the bar's range

        b.win.state().Info.Channel[3] = 40;
        b.binding.refresh(RecordKind::Info);
        QCOMPARE(b.edit->text(), QStringLiteral("0.98"));
        QVERIFY(!b.edit->hasSelectedText());
        QCOMPARE(b.bar->value(), 40);
    }
};

QTEST_MAIN(TestFieldBinding)
#include "test_field_binding.moc"

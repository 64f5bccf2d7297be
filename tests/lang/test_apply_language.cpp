// Relabelling a window: a small stand-in window carries the control kinds and
// names that the main window uses.
#include "lang/apply_language.h"

#include <QtTest>
#include <QtWidgets>

using namespace quenda;

namespace {

struct TestWindow {
    QMainWindow window;
    QTabWidget* pc = nullptr;
    QLineEdit* edtLat = nullptr;
    QLabel* edtLatLabel = nullptr;
    QLineEdit* edtCloudTempWater = nullptr;
    QLineEdit* edtCloudTempBoard = nullptr;
    QComboBox* cmbLanguage = nullptr;
    QPlainTextEdit* mem = nullptr;
    QMenu* mnuFile = nullptr;
    QSlider* trbTimeLapse = nullptr;

    template <class W> W* add(QWidget* parent, const QString& name) {
        auto* w = new W(parent);
        w->setObjectName(name);
        if (parent->layout()) parent->layout()->addWidget(w);
        return w;
    }
    QWidget* page(const QString& name) {
        auto* p = new QWidget;
        p->setObjectName(name);
        new QVBoxLayout(p);
        pc->addTab(p, QStringLiteral("?"));
        return p;
    }
    QLineEdit* labelledEdit(QWidget* parent, const QString& name) {
        auto* label = add<QLabel>(parent, QString());
        auto* edit = add<QLineEdit>(parent, name);
        edit->setText(QStringLiteral("value"));
        AttachLabel(edit, label);
        return edit;
    }

    TestWindow() {
        window.setObjectName(QStringLiteral("frmQuenda"));
        pc = new QTabWidget(&window);
        pc->setObjectName(QStringLiteral("pc"));
        window.setCentralWidget(pc);

        QWidget* af = page(QStringLiteral("tsChannels"));
        QWidget* gl = page(QStringLiteral("tsChannelsGL"));
        for (int n = 0; n < 12; ++n) {
            QWidget* p = n < 6 ? af : gl;
            add<QLabel>(p, QStringLiteral("lblName%1").arg(n));
            add<QPushButton>(p, QStringLiteral("btnOff%1").arg(n));
            add<QPushButton>(p, QStringLiteral("btnOn%1").arg(n));
        }
        QWidget* geo = page(QStringLiteral("tsGeo"));
        edtLat = labelledEdit(geo, QStringLiteral("edtLat"));
        edtLatLabel = AttachedLabel(edtLat);
        add<QPushButton>(geo, QStringLiteral("btnNow"));

        QWidget* config = page(QStringLiteral("tsConfig"));
        trbTimeLapse = add<QSlider>(config, QStringLiteral("edtTimeLapse")); // a slider under an edit's name
        add<QGroupBox>(config, QStringLiteral("gbxFan"));

        QWidget* expert = page(QStringLiteral("tsExpert"));
        for (const char* n : {"rbtCHMTempWater", "rbtCHMTempBoard", "rbtCHMVoltage", "rbtCHMTempSlave"})
            add<QRadioButton>(expert, QLatin1String(n));
        edtCloudTempWater = labelledEdit(expert, QStringLiteral("edtCloudTempWater"));
        edtCloudTempBoard = labelledEdit(expert, QStringLiteral("edtCloudTempBoard"));
        cmbLanguage = add<QComboBox>(expert, QStringLiteral("cmbLanguage"));
        cmbLanguage->addItems({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
        pc->setTabVisible(pc->indexOf(expert), false);

        QWidget* messages = page(QStringLiteral("tsMessages"));
        mem = add<QPlainTextEdit>(messages, QStringLiteral("mem"));
        mem->setPlainText(QStringLiteral("design-time text"));

        mnuFile = window.menuBar()->addMenu(QStringLiteral("?"));
        mnuFile->setObjectName(QStringLiteral("mnuFile"));
        mnuFile->addAction(QStringLiteral("?"))->setObjectName(QStringLiteral("mnuExit"));
        auto* chart = new QMenu(&window);
        chart->setObjectName(QStringLiteral("pumChart"));
        for (const char* n : {"mnuCHMTempWater", "mnuCHMTempBoard", "mnuCHMVoltage", "mnuCHMTempSlave"})
            chart->addAction(QStringLiteral("?"))->setObjectName(QLatin1String(n));
    }

    template <class T> T* find(const QString& name) { return window.findChild<T*>(name); }
    QString tabText(const QString& name) { return pc->tabText(pc->indexOf(find<QWidget>(name))); }
};

QString form(int language, const QString& name) {
    for (const FormText& t : FormTexts(language))
        if (t.name == name) return t.text;
    return {};
}

} // namespace

class TestApplyLanguage : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetUiLanguageSource({}); }

    void relabels_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("labelTemplate");
        QTest::addColumn<QString>("tabTemplate");
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("off");
        QTest::newRow("English") << 0 << QStringList{"de-DE"} << kEnglish << "Label for channel %1"
                                 << "Channels %1"
                                 << "ON"
                                 << "OFF";
        QTest::newRow("German") << 1 << QStringList{"en-US"} << kGerman << "Beschriftung Kanal %1"
                                << QString::fromUtf16(u"Kan\u00e4le %1") << "EIN"
                                << "AUS";
        QTest::newRow("German system")
            << -1 << QStringList{"de-AT", "en"} << kGerman << "Beschriftung Kanal %1"
            << QString::fromUtf16(u"Kan\u00e4le %1") << "EIN"
            << "AUS";
        QTest::newRow("other system") << -1 << QStringList{"nl-NL"} << kEnglish << "Label for channel %1"
                                      << "Channels %1"
                                      << "ON"
                                      << "OFF";
    }
    void relabels() {
        QFETCH(int, choice);
        QFETCH(QStringList, system);
        QFETCH(int, language);
        QFETCH(QString, labelTemplate);
        QFETCH(QString, tabTemplate);
        QFETCH(QString, on);
        QFETCH(QString, off);
        SetUiLanguageSource([system] { return system; });
        TestWindow w;
        QSignalSpy languageChanged(w.cmbLanguage, &QComboBox::currentIndexChanged);

        QCOMPARE(ApplyLanguage(&w.window, static_cast<LanguageChoice>(choice)), language);

        const QString letters = QStringLiteral("ABCDEFGHIJKL");
        for (int n = 0; n < 12; ++n) {
            QCOMPARE(w.find<QLabel>(QStringLiteral("lblName%1").arg(n))->text(),
                     labelTemplate.arg(letters.at(n)));
            QCOMPARE(w.find<QPushButton>(QStringLiteral("btnOn%1").arg(n))->text(), on);
            QCOMPARE(w.find<QPushButton>(QStringLiteral("btnOff%1").arg(n))->text(), off);
        }
        QCOMPARE(w.tabText(QStringLiteral("tsChannels")), tabTemplate.arg(QStringLiteral("A-F")));
        QCOMPARE(w.tabText(QStringLiteral("tsChannelsGL")), tabTemplate.arg(QStringLiteral("G-L")));
        QCOMPARE(w.tabText(QStringLiteral("tsGeo")), QStringLiteral("Geo"));
        // A hidden tab is relabelled too, and its page remembers the caption.
        QCOMPARE(w.tabText(QStringLiteral("tsExpert")), form(language, QStringLiteral("tsExpert.Caption")));
        QCOMPARE(w.find<QWidget>(QStringLiteral("tsExpert"))->windowTitle(),
                 form(language, QStringLiteral("tsExpert.Caption")));

        // Language list: interface-language names, loaded language selected, no change handler run.
        QCOMPARE(w.cmbLanguage->count(), 2);
        QCOMPARE(w.cmbLanguage->itemText(0),
                 language == kGerman ? QStringLiteral("Englisch") : QStringLiteral("English"));
        QCOMPARE(w.cmbLanguage->itemText(1),
                 language == kGerman ? QStringLiteral("Deutsch") : QStringLiteral("German"));
        QCOMPARE(w.cmbLanguage->currentIndex(), language);
        QCOMPARE(languageChanged.count(), 0);

        // Chart-source menu items and cloud-trigger labels follow the radio buttons.
        for (const char* s : {"TempWater", "TempBoard", "Voltage", "TempSlave"}) {
            const QString radio = w.find<QRadioButton>(QStringLiteral("rbtCHM") + QLatin1String(s))->text();
            QCOMPARE(radio, form(language, QStringLiteral("rbtCHM%1.Caption").arg(QLatin1String(s))));
            QCOMPARE(w.find<QAction>(QStringLiteral("mnuCHM") + QLatin1String(s))->text(), radio);
        }
        QCOMPARE(AttachedLabel(w.edtCloudTempWater)->text(),
                 form(language, QStringLiteral("rbtCHMTempWater.Caption")));
        QCOMPARE(AttachedLabel(w.edtCloudTempBoard)->text(),
                 form(language, QStringLiteral("rbtCHMTempBoard.Caption")));
        QCOMPARE(w.edtCloudTempWater->text(), QStringLiteral("value"));
    }

    void controlKinds() {
        TestWindow w;
        ApplyLanguage(&w.window, LanguageChoice::German);
        // Labelled edit: caption to the label, hint to the edit, value untouched.
        QCOMPARE(w.edtLatLabel->text(), QStringLiteral("Breitengrad"));
        QCOMPARE(w.edtLat->text(), QStringLiteral("value"));
        QCOMPARE(w.edtLat->toolTip(), QString::fromUtf16(u"positiv: Nord, negativ: S\u00fcd"));
        QVERIFY(w.edtLatLabel->toolTip().isEmpty());
        // Button caption and hint.
        QCOMPARE(w.find<QPushButton>(QStringLiteral("btnNow"))->text(), QStringLiteral("Jetzt"));
        QCOMPARE(w.find<QPushButton>(QStringLiteral("btnNow"))->toolTip(),
                 QStringLiteral("Aktuelle Uhrzeit und aktuelles Datum setzen"));
        // Group box, menu, menu item with its accelerator.
        QCOMPARE(w.find<QGroupBox>(QStringLiteral("gbxFan"))->title(),
                 QString::fromUtf16(u"L\u00fcfterdrehzahl"));
        QCOMPARE(w.mnuFile->title(), QStringLiteral("&Datei"));
        QCOMPARE(w.mnuFile->menuAction()->text(), QStringLiteral("&Datei"));
        QCOMPARE(w.find<QAction>(QStringLiteral("mnuExit"))->text(), QStringLiteral("Beenden"));
        // Multi-line text: whole content replaced, line breaks real.
        const QString intro = w.mem->toPlainText();
        QVERIFY(intro.startsWith(QLatin1String("WICHTIG:")));
        QVERIFY(!intro.contains(QLatin1String("design-time")));
        QVERIFY(intro.contains(u'\n'));
        QVERIFY(!intro.contains(QLatin1String("\\n")));
        // A slider takes no caption.
        QCOMPARE(w.trbTimeLapse->accessibleName(), QString());
        QVERIFY(w.trbTimeLapse->toolTip().isEmpty());
    }

    void secondApplyKeepsTemplates() {
        TestWindow w;
        ApplyLanguage(&w.window, LanguageChoice::English);
        ApplyLanguage(&w.window, LanguageChoice::German);
        QCOMPARE(w.find<QLabel>(QStringLiteral("lblName7"))->text(), QStringLiteral("Beschriftung Kanal H"));
        QCOMPARE(w.tabText(QStringLiteral("tsChannels")), QString::fromUtf16(u"Kan\u00e4le A-F"));
        ApplyLanguage(&w.window, LanguageChoice::English);
        QCOMPARE(w.find<QLabel>(QStringLiteral("lblName0"))->text(), QStringLiteral("Label for channel A"));
        QCOMPARE(w.tabText(QStringLiteral("tsChannelsGL")), QStringLiteral("Channels G-L"));
    }

    // Qt's own buttons follow the interface language.
    void qtTextsFollowTheLanguage() {
        ApplyLanguage(nullptr, LanguageChoice::German);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
        ApplyLanguage(nullptr, LanguageChoice::English);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Yes"));
    }

    void sparseWindow() {
        // A window lacking most controls, with a stranger of a matching name.
        QWidget window;
        auto* stray = new QObject(&window);
        stray->setObjectName(QStringLiteral("btnNow"));
        auto* lonely = new QLabel(&window);
        lonely->setObjectName(QStringLiteral("lblName3"));
        QCOMPARE(ApplyLanguage(&window, LanguageChoice::English), kEnglish);
        QCOMPARE(lonely->text(), QStringLiteral("Label for channel D"));
        QCOMPARE(ApplyLanguage(nullptr, LanguageChoice::German), kGerman);
        QCOMPARE(Msg(QStringLiteral("ON")), QStringLiteral("EIN"));
    }

    void detachedLabel() {
        QWidget window;
        auto* edit = new QLineEdit(&window);
        edit->setObjectName(QStringLiteral("edtLon"));
        auto* label = new QLabel(&window);
        AttachLabel(edit, label);
        QCOMPARE(AttachedLabel(edit), label);
        delete label;
        QCOMPARE(AttachedLabel(edit), nullptr);
        ApplyLanguage(&window, LanguageChoice::English); // must not touch the deleted label
        QCOMPARE(edit->toolTip(), QStringLiteral("positive: east, negative: west"));
        // Without a label the caption goes to the edit itself, as for a plain edit.
        QCOMPARE(edit->text(), QStringLiteral("Longitude"));
    }
};

QTEST_MAIN(TestApplyLanguage)
#include "test_apply_language.moc"

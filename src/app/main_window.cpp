#include "app/main_window.h"

#include "app/bluetooth_control.h"
#include "app/connection.h"
#include "app/enable_table.h"
#include "app/file_menu.h"
#include "app/page_menu.h"
#include "bluetooth/bluetooth_ports.h"
#include "app/firmware_control.h"
#include "link/link_thread.h"
#include "lang/apply_language.h"
#include "lang/texts.h"
#include "pages/channel_page.h"
#include "pages/geo_page.h"
#include "pages/page.h"
#include "schedule/chart_page.h"
#include "schedule/schedule_page.h"
#include "schedule/status_display.h"
#include "schedule/visualize_page.h"

#include <quenda_version.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quenda {

namespace {
// The pages in tab order: object name and English caption.
struct PageName {
    const char* name;
    const char* caption;
};
constexpr PageName kPages[] = {
    {"tsChannels", "Channels A-F"}, {"tsChannelsGL", "Channels G-L"}, {"tsSchedule", "Schedule"},
    {"tsVisualize", "Visualization"}, {"tsGeo", "Geo"}, {"tsConfig", "Configuration"}, {"tsTemp", "Chart"},
    {"tsWeather", "Weather"}, {"tsWeatherDelay", "Delays"}, {"tsMoon", "Moon"}, {"tsExpert", "Expert options"},
    {"tsBalance", "White balance"}, {"tsJMP", "JMP pin"}, {"tsRC433", "433 MHz"}, {"tsMessages", "Messages"},
};

// Design widths; panel 0 takes what the other two leave (it stretches with the bar).
constexpr int kStatusPanelWidths[3] = {462, 160, 100};

bool folderWritable(const QString& dir) {
    QFileInfo fi(dir);
    if (!fi.isDir() || !fi.isWritable()) return false;
    // Permission bits can lie (read-only mounts); try it.
    QFile probe(QDir(dir).filePath(QStringLiteral(".quenda-write-test")));
    if (!probe.open(QIODevice::WriteOnly)) return false;
    probe.close();
    probe.remove();
    return true;
}
} // namespace

TfrmQuenda::TfrmQuenda(WindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("frmQuenda"));
    dialogs_ = options_.dialogs ? options_.dialogs : std::make_shared<Dialogs>();
    clock_ = options_.clock ? options_.clock : std::make_shared<Clock>();
    FormCreate();
}

TfrmQuenda::~TfrmQuenda() { FormDestroy(); }

// ---- Start-up ---------------------------------------------------------------

void TfrmQuenda::FormCreate() {
    if (options_.useTaskbar) taskbar_ = createTaskbarProgress();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    pc_ = new QTabWidget(central);
    pc_->setObjectName(QStringLiteral("pc"));
    pc_->setMinimumSize(767, 531);
    // Qt's tab bar cannot wrap onto several rows; scroll buttons keep every tab reachable.
    pc_->setUsesScrollButtons(true);
    addPageMenu(*pc_, QStringLiteral("btnPages"));
    layout->addWidget(pc_);
    setCentralWidget(central);
    buildStatusBar();
    buildPages();
    status_ = std::make_unique<StatusDisplay>(*this);
    log_ = std::make_unique<MessageLog>(mem_, sbPanels_[0]);
    log_->setClock([this] { return clock_->now(); });
    linkHost_ = std::make_unique<QtLinkHost>(static_cast<LinkWindow&>(*this), this);
    buildMenus();
    firmware_ = new FirmwareControl(*this);

    // Scale for the screen's resolution.
    double scale = 1.0;
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        scale = s->logicalDotsPerInch() / 96.0;
    sbPanels_[0]->setMinimumWidth(int(std::lround(kStatusPanelWidths[0] * scale / 2)));
    for (int i = 1; i < 3; ++i) {
        sbPanels_[i]->setFixedWidth(int(std::lround(kStatusPanelWidths[i] * scale)));
        sbPanels_[i]->setAlignment(Qt::AlignCenter);
    }
    resize(int(std::lround(kClientWidth * scale)), int(std::lround(kClientHeight * scale)) + menuBar()->sizeHint().height() +
                                                     statusBar()->sizeHint().height());

    // Program directory; backups go there, or to a per-user folder when it is read-only.
    const QString exe = options_.programFile.isEmpty() ? QCoreApplication::applicationFilePath() : options_.programFile;
    programDir_ = options_.programDir.isEmpty() ? QFileInfo(exe).absolutePath() : options_.programDir;
    QString backupNote;
    if (!folderWritable(programDir_)) {
        const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(fallback);
        backupNote = QStringLiteral("Program folder not writable, backups go to ") + fallback;
        programDir_ = fallback;
    }
    if (!programDir_.endsWith(QLatin1Char('/'))) programDir_ += QLatin1Char('/');
    QDir::setCurrent(programDir_);

    portName_.clear();
    bluetooth_ = new BluetoothControl(*this);
    connection_ = new ConnectionControl(*this);
    fileMenu_ = new FileMenu(*this);
    connection_->LoadLastPort();

    setTabVisible(QStringLiteral("tsExpert"), false);
    setTabVisible(QStringLiteral("tsBalance"), false);
    setTabVisible(QStringLiteral("tsJMP"), false);
    setTabVisible(QStringLiteral("tsRC433"), false);
    debugMessages_ = false;

    const CommandLine cl = parseCommandLine(options_.args);
    for (const QString& line : cl.logLines) AddLog(line);
    if (!cl.port.isEmpty()) portName_ = cl.port;
    if (cl.expert) {
        setTabVisible(QStringLiteral("tsExpert"), true);
        setTabVisible(QStringLiteral("tsBalance"), true);
        setTabVisible(QStringLiteral("tsJMP"), true);
    }
    if (cl.rc433) setTabVisible(QStringLiteral("tsRC433"), true);
    debugMessages_ = cl.debug;

    // The log's introductory text replaces the log's content; keep the lines logged so far.
    const QString earlier = mem_->toPlainText();
    ApplyLanguage(this, static_cast<LanguageChoice>(cl.language));
    if (!earlier.isEmpty()) mem_->appendPlainText(earlier);
    for (auto* p : allPages()) p->languageApplied();

    QApplication::setApplicationDisplayName(QString());
    AddLog(Msg(QStringLiteral("Started")) + QLatin1Char(' ') + QString::fromLatin1(kAppTitle));
    AddLog(fileDescription(exe));
    if (!backupNote.isEmpty()) AddLog(backupNote);

    setTabVisible(QStringLiteral("tsChannelsGL"), true);
    for (auto& s : state_->Chart.Sample) s = kNoMeasurement;
    mnuShowRC433_->setVisible(false);
    mnuShowRC433_->setEnabled(false);
    state_->Config.Lat = 501;
    state_->Config.Lon = 85;
    GeoNow(false);
    ShowModeAndSettings();
    connected_ = true; // the first EnableControls(false) finds the window as if it had been connected
    EnableControls(false);
    fitWindowToTabs(*this, *pc_);
    connection_->startAtLaunch(cl.demo);
}

void TfrmQuenda::buildStatusBar() {
    auto* sb = statusBar();
    sb->setObjectName(QStringLiteral("sb"));
    sb->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        sbPanels_[i] = new QLabel(sb);
        sbPanels_[i]->setObjectName(QStringLiteral("sbPanel%1").arg(i));
        sbPanels_[i]->setFrameShape(QFrame::StyledPanel);
        sbPanels_[i]->setFrameShadow(QFrame::Sunken);
        sb->addWidget(sbPanels_[i], i == 0 ? 1 : 0);
    }
}

void TfrmQuenda::buildPages() {
    for (const auto& p : kPages) {
        const QString name = QString::fromLatin1(p.name);
        const QString caption = QString::fromLatin1(p.caption);
        QWidget* w = nullptr;
        if (name == QLatin1String("tsMessages")) {
            auto* page = new Page(name, caption, *this, pc_);
            auto* l = new QVBoxLayout(page);
            mem_ = new QPlainTextEdit(page);
            mem_->setObjectName(QStringLiteral("mem"));
            mem_->setReadOnly(true);
            mem_->setLineWrapMode(QPlainTextEdit::NoWrap);
            mem_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            mem_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            mem_->viewport()->installEventFilter(this);
            l->addWidget(mem_);
            w = page;
        } else {
            w = createPage(name, caption);
        }
        pc_->addTab(w, caption);
    }
    connect(pc_, &QTabWidget::currentChanged, this, &TfrmQuenda::pcChange);
    pc_->setCurrentWidget(page(QStringLiteral("tsMessages")));
}

Page* TfrmQuenda::createPage(const QString& name, const QString& caption) {
    // Real pages are created here as they arrive, e.g.
    //   if (name == "tsSchedule") return new SchedulePage(*this, pc_);
    if (name == QLatin1String("tsChannels")) return new ChannelPage(name, caption, 0, *this, pc_);
    if (name == QLatin1String("tsChannelsGL")) return new ChannelPage(name, caption, 6, *this, pc_);
    if (name == QLatin1String("tsSchedule")) return new SchedulePage(name, caption, *this, pc_);
    if (name == QLatin1String("tsVisualize")) return new VisualizePage(name, caption, *this, pc_);
    if (name == QLatin1String("tsGeo")) return new GeoPage(name, caption, *this, pc_);
    if (name == QLatin1String("tsTemp")) return new ChartPage(name, caption, *this, pc_);
    auto* page = new PlaceholderPage(name, caption, *this, pc_);
    page->build();
    return page;
}

QList<Page*> TfrmQuenda::allPages() const {
    QList<Page*> out;
    for (int i = 0; i < pc_->count(); ++i)
        if (auto* p = qobject_cast<Page*>(pc_->widget(i))) out << p;
    return out;
}

void TfrmQuenda::ShowDeviceInfo() {
    status_->showDeviceInfo();
    for (auto* p : allPages()) p->showDeviceInfo();
}
void TfrmQuenda::ShowModeAndSettings() {
    status_->showModeAndSettings();
    for (auto* p : allPages()) p->showModeAndSettings();
}
void TfrmQuenda::ShowExpertSettings() {
    for (auto* p : allPages()) p->showExpertSettings();
}
void TfrmQuenda::ShowWeatherSettings() {
    for (auto* p : allPages()) p->showWeatherSettings();
    // The weather record is the last of the first reads after connecting.
    if (pc_->currentWidget() == page(QStringLiteral("tsMessages"))) {
        const int mode = state_->Config.Mode;
        ShowPage(page(mode == 1 ? QStringLiteral("tsSchedule") : mode == 2 ? QStringLiteral("tsGeo")
                                                                         : QStringLiteral("tsChannels")));
    }
    if (connection_) connection_->SaveLastPort();
}
void TfrmQuenda::ShowSchedule() {
    for (auto* p : allPages()) p->showSchedule();
}
void TfrmQuenda::DrawChart() {
    for (auto* p : allPages()) p->drawChart();
}
void TfrmQuenda::DrawHealth() {
    status_->drawHealth();
    for (auto* p : allPages()) p->drawHealth();
}

QAction* TfrmQuenda::addAction(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key,
                               void (TfrmQuenda::*slot)()) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::ApplicationShortcut);
    }
    if (slot) connect(a, &QAction::triggered, this, slot);
    if (menu) menu->addAction(a);
    return a;
}

void TfrmQuenda::buildMenus() {
    auto* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    mnuConnection_ = bar->addMenu(QStringLiteral("&Connection"));
    mnuConnection_->menuAction()->setObjectName(QStringLiteral("mnuConnection"));
    mnuConnection_->setObjectName(QStringLiteral("mnuConnectionMenu"));
    addAction(mnuConnection_, "mnuDiscover", QStringLiteral("Install devices automatically"),
              QKeySequence(Qt::CTRL | Qt::Key_I), &TfrmQuenda::mnuDiscoverClick);
    addAction(mnuConnection_, "mnuRemove", QStringLiteral("Uninstall devices automatically"),
              QKeySequence(Qt::CTRL | Qt::Key_U), &TfrmQuenda::mnuRemoveClick);
    mnuConnection_->addSeparator();
    auto* connectMenu = mnuConnection_->addMenu(QStringLiteral("Connect to"));
    connectMenu->setObjectName(QStringLiteral("mnuConnectMenu"));
    connectMenu->menuAction()->setObjectName(QStringLiteral("mnuConnect"));
    addAction(mnuConnection_, "mnuDisconnect", QStringLiteral("Disconnect"), QKeySequence(Qt::CTRL | Qt::Key_D),
              nullptr);

    mnuFile_ = bar->addMenu(QStringLiteral("&File"));
    mnuFile_->menuAction()->setObjectName(QStringLiteral("mnuFile"));
    connect(mnuFile_, &QMenu::aboutToShow, this, &TfrmQuenda::mnuFileClick);
    addAction(mnuFile_, "mnuScheduleImport", QStringLiteral("Import schedule..."), QKeySequence(Qt::CTRL | Qt::Key_T),
              nullptr);
    addAction(mnuFile_, "mnuConfigImport", QStringLiteral("Import configuration..."),
              QKeySequence(Qt::CTRL | Qt::Key_K), nullptr);
    addAction(mnuFile_, "mnuScheduleConfigExport", QStringLiteral("Export schedule and configuration..."),
              QKeySequence(Qt::CTRL | Qt::Key_E), nullptr);
    mnuFile_->addSeparator();
    addAction(mnuFile_, "mnuFirmwareUpdate", QStringLiteral("Update firmware..."), QKeySequence(), nullptr);
    mnuFile_->addSeparator();
    addAction(mnuFile_, "mnuExit", QStringLiteral("Exit"), QKeySequence(Qt::ALT | Qt::Key_F4),
              &TfrmQuenda::mnuExitClick);

    mnuOptions_ = bar->addMenu(QStringLiteral("&Options"));
    mnuOptions_->menuAction()->setObjectName(QStringLiteral("mnuOptions"));
    connect(mnuOptions_, &QMenu::aboutToShow, this, &TfrmQuenda::mnuOptionsClick);
    auto checkable = [](QAction* a) {
        a->setCheckable(true);
        return a;
    };
    checkable(addAction(mnuOptions_, "mnuModeManual", QStringLiteral("Mode: Manual"), QKeySequence(Qt::CTRL | Qt::Key_F1),
                        &TfrmQuenda::mnuModeManualClick));
    checkable(addAction(mnuOptions_, "mnuModeAuto", QStringLiteral("Mode: Auto"), QKeySequence(Qt::CTRL | Qt::Key_F2),
                        &TfrmQuenda::mnuModeAutoClick));
    checkable(addAction(mnuOptions_, "mnuModeGeo", QStringLiteral("Mode: Geo"), QKeySequence(Qt::CTRL | Qt::Key_F3),
                        &TfrmQuenda::mnuModeGeoClick));
    checkable(addAction(mnuOptions_, "mnuModeRGBDemo", QStringLiteral("Mode: RGB demo"),
                        QKeySequence(Qt::CTRL | Qt::Key_F4), &TfrmQuenda::mnuModeRGBDemoClick));
    checkable(addAction(mnuOptions_, "mnuModeFlash", QStringLiteral("Mode: Flash"), QKeySequence(Qt::CTRL | Qt::Key_F5),
                        &TfrmQuenda::mnuModeFlashClick));
    mnuOptions_->addSeparator();
    // The channel page connects these three.
    addAction(mnuOptions_, "mnuAllOff", QStringLiteral("Set all channels to 0%"), QKeySequence(Qt::CTRL | Qt::Key_0),
              nullptr);
    addAction(mnuOptions_, "mnuAll20", QStringLiteral("Set all channels to 20%"), QKeySequence(Qt::CTRL | Qt::Key_2),
              nullptr);
    addAction(mnuOptions_, "mnuAllOn", QStringLiteral("Set all channels to 100%"), QKeySequence(Qt::CTRL | Qt::Key_1),
              nullptr);
    addAction(mnuOptions_, "mnuSetTimeDate", QStringLiteral("Set current time and date"),
              QKeySequence(Qt::CTRL | Qt::Key_C), &TfrmQuenda::mnuSetTimeDateClick);
    mnuOptions_->addSeparator();
    checkable(addAction(mnuOptions_, "mnuStepBig", QStringLiteral("Big step size"), QKeySequence(Qt::Key_F4),
                        &TfrmQuenda::mnuStepBigClick));
    mnuOptions_->addSeparator();
    checkable(addAction(mnuOptions_, "mnuShowExpert", QStringLiteral("Show Expert options"), QKeySequence(Qt::Key_F6),
                        &TfrmQuenda::mnuShowExpertClick));
    mnuShowRC433_ = checkable(
        addAction(mnuOptions_, "mnuShowRC433", QStringLiteral("433 MHz"), QKeySequence(Qt::Key_F8), &TfrmQuenda::mnuShowRC433Click));
    mnuOptions_->addSeparator();
    addAction(mnuOptions_, "mnuRefresh", QStringLiteral("Refresh"), QKeySequence(Qt::Key_F5), &TfrmQuenda::mnuRefreshClick);
    addAction(mnuOptions_, "mnuSaveEEPROM", QStringLiteral("Save settings permanently"),
              QKeySequence(Qt::CTRL | Qt::Key_S), &TfrmQuenda::mnuSaveEEPROMClick);
    addAction(mnuOptions_, "mnuIRLearn", QStringLiteral("Pair IR remote control..."), QKeySequence(Qt::CTRL | Qt::Key_R),
              &TfrmQuenda::mnuIRLearnClick);
    addAction(mnuOptions_, "mnuLoadReef", QStringLiteral("Load reef bundle defaults"), QKeySequence(),
              &TfrmQuenda::mnuLoadReefClick);
    // Hidden items, reached by their short-cuts only: actions of the window, not in the menu.
    auto* health = addAction(nullptr, "mnuHealth", QStringLiteral("Read health data"),
                             QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_X), &TfrmQuenda::mnuHealthClick);
    QMainWindow::addAction(health);
    auto* debug = addAction(nullptr, "mnuDebug", QStringLiteral("Debug"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D),
                            &TfrmQuenda::mnuDebugClick);
    QMainWindow::addAction(debug);

    mnuHelp_ = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp_->menuAction()->setObjectName(QStringLiteral("mnuHelp"));
    addAction(mnuHelp_, "mnuHardware", QStringLiteral("Hardware manual"), QKeySequence(), nullptr);
    addAction(mnuHelp_, "mnuSoftware", QStringLiteral("Software manual / updates"), QKeySequence(), nullptr);
    addAction(mnuHelp_, "mnuFAQ", QStringLiteral("FAQ / error tracking"), QKeySequence(Qt::Key_F1), nullptr);
    mnuHelp_->addSeparator();
    addAction(mnuHelp_, "mnuAbout", QStringLiteral("About Quenda..."), QKeySequence(), &TfrmQuenda::mnuAboutClick);
}

void TfrmQuenda::mnuAboutClick() {
    // The tool's own text, not one of the device's message tables.
    const bool german = ActiveLanguage() == kGerman;
    const char* caption = german ? "Über Quenda" : "About Quenda";
    const char* line = german ? "Steuerprogramm für einen zwölfkanaligen LED-Lichtcontroller."
                              : "Control tool for a twelve-channel LED lighting controller.";
    dialogs().about(this, QString::fromUtf8(caption),
                    QStringLiteral("Quenda " QUENDA_VERSION "\n") + QString::fromUtf8(line));
}

QString TfrmQuenda::fileDescription(const QString& path) { return FileDescription(path); }

void TfrmQuenda::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!formShown_) {
        formShown_ = true;
        FormShow();
    }
}

void TfrmQuenda::FormShow() {
    if (!taskbar_) return;
    taskbar_->setProgress(1, 1);
    taskbar_->setState(TaskbarProgress::State::Error);
}

void TfrmQuenda::closeEvent(QCloseEvent* e) {
    FormClose();
    QMainWindow::closeEvent(e);
}

void TfrmQuenda::FormClose() { StopLink(); }

void TfrmQuenda::FormDestroy() {
    // From here on the link's hand-overs are refused, so it cannot wait on this
    // window; then give it at most half a second to finish.
    if (linkHost_) linkHost_->BeginClose();
    if (bluetooth_) bluetooth_->Close(100);
    if (link_) {
        link_->Terminate();
        link_->WaitFinished(); // at most 10 checks, 50 ms apart
    }
    link_.reset(); // the thread keeps what it still needs alive by itself
}

// ---- Services -----------------------------------------------------------------

void TfrmQuenda::AddLog(const QString& text) { log_->AddLog(text); }
void TfrmQuenda::SetStatus(const QString& text) { log_->SetStatus(text); }

Page* TfrmQuenda::page(const QString& objectName) const { return pc_->findChild<Page*>(objectName); }

void TfrmQuenda::ShowPage(QWidget* page) {
    if (!page || pc_->currentWidget() == page) return;
    const int i = pc_->indexOf(page);
    if (i < 0) return;
    // Switching emits currentChanged, which runs pcChange.
    pc_->setCurrentIndex(i);
}

void TfrmQuenda::SetMode(int mode) {
    if (state_->Config.Mode == mode) return;
    state_->Config.Mode = static_cast<uint8_t>(mode);
    if (!state_->isRaised(rqGetSchedule)) {
        if (auto* p = page(QStringLiteral("tsSchedule"))) p->showSchedule();
    }
}

void TfrmQuenda::ShowChannelsPage() {
    if (pc_->currentWidget() != page(QStringLiteral("tsChannelsGL"))) ShowPage(page(QStringLiteral("tsChannels")));
}

void TfrmQuenda::SetTaskbarProgress(uint64_t completed, uint64_t total) {
    if (taskbar_) taskbar_->setProgress(completed, total);
    firmware_->SetProgress(completed, total);
}

QString TfrmQuenda::ChooseFirmwareFile() { return firmware_->ChooseFirmwareFile(); }

void TfrmQuenda::FirmwareTransferEnded() {
    if (taskbar_) taskbar_->setProgress(1, 1); // the full bar that shows the link state
    firmware_->TransferEnded();
}

void TfrmQuenda::setTabVisible(const QString& pageName, bool visible) {
    if (auto* p = page(pageName)) pc_->setTabVisible(pc_->indexOf(p), visible);
}

bool TfrmQuenda::isTabVisible(const QString& pageName) const {
    auto* p = page(pageName);
    return p && pc_->isTabVisible(pc_->indexOf(p));
}

void TfrmQuenda::EnableControls(bool connected) {
    auto* modeItem = findChild<QAction*>(QStringLiteral("mnuModeManual"));
    const bool wasConnected = modeItem && modeItem->isEnabled();
    connected_ = connected;

    applyEnableRules();

    for (auto* p : allPages()) p->controlsEnabled(connected);
    if (connected) {
        if (taskbar_) taskbar_->setState(TaskbarProgress::State::Normal);
        firmware_->Connected();
        return;
    }
    if (wasConnected) ShowPage(page(QStringLiteral("tsMessages")));
    sbPanels_[1]->clear();
    sbPanels_[2]->clear();
    if (auto* board = findChild<QLabel*>(QStringLiteral("lblBoard"))) board->clear();
    setWindowTitle(WindowCaption(QString())); // no status: the program's name alone
    if (taskbar_)
        taskbar_->setState(linkRunning() ? TaskbarProgress::State::Paused : TaskbarProgress::State::Error);
}

void TfrmQuenda::applyEnableRules(std::initializer_list<EnableWhen> only) {
    EnableInputs in;
    in.connected = connected_;
    in.mode = state_->Config.Mode;
    in.tempWater = state_->Info.TempWater;
    in.tempSlave = state_->Info.TempSlave;
    in.fanMode = state_->Expert.FanMode;
    if (auto* led = findChild<QAbstractButton*>(QStringLiteral("rbtFMOLED"))) in.fanByBrightness = led->isChecked();

    for (const auto& rule : enableTable()) {
        if (only.size() && std::find(only.begin(), only.end(), rule.when) == only.end()) continue;
        const bool on = enabledFor(rule.when, in);
        for (const QString& name : rule.names) {
            if (auto* a = findChild<QAction*>(name)) a->setEnabled(on);
            else if (auto* w = findChild<QWidget*>(name)) w->setEnabled(on);
        }
    }
}

bool TfrmQuenda::linkRunning() const {
    if (options_.startLink) return linkStarted_;
    return link_ && !link_->Finished();
}

void TfrmQuenda::startLink() {
    if (options_.startLink) {
        options_.startLink(portName_, debugMessages_);
        linkStarted_ = true;
        return;
    }
    if (linkRunning()) return; // a new link only after the old one has finished
    link_.reset();
    if (options_.makeLink)
        link_ = options_.makeLink(state_, linkHost_->Host(), portName_, debugMessages_);
    else
        link_ = TthdCom::Create(state_, linkHost_->Host(), portName_, debugMessages_,
                                {[] { return std::make_unique<LinkPort>(); }, {}});
    if (taskbar_) taskbar_->setState(TaskbarProgress::State::Paused);
}

void TfrmQuenda::StopLink() {
    if (connection_) connection_->WriteBackup();
    linkStarted_ = false;
    if (link_) link_->Terminate();
}

void TfrmQuenda::GeoNow(bool raiseSetTime) {
    const QDateTime now = clock_->now();
    state_->setClock({now.date().year(), now.date().month(), now.date().day(), now.time().hour(), now.time().minute(),
                     now.time().second(), now.time().msec()});
    if (raiseSetTime) state_->raiseFromWindow(rqSetTime);
}

// ---- Menus --------------------------------------------------------------------

void TfrmQuenda::mnuExitClick() { close(); }

void TfrmQuenda::mnuOptionsClick() {
    const char* modes[] = {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash"};
    for (int i = 0; i < 5; ++i)
        if (auto* a = findChild<QAction*>(QString::fromLatin1(modes[i]))) a->setChecked(state_->Config.Mode == i);
    if (auto* a = findChild<QAction*>(QStringLiteral("mnuStepBig"))) a->setChecked(state_->Config.Flag & 1);
    if (auto* a = findChild<QAction*>(QStringLiteral("mnuShowExpert")))
        a->setChecked(isTabVisible(QStringLiteral("tsExpert")));
    mnuShowRC433_->setChecked(isTabVisible(QStringLiteral("tsRC433")));
}

void TfrmQuenda::mnuFileClick() {
    if (auto* a = findChild<QAction*>(QStringLiteral("mnuFirmwareUpdate"))) a->setEnabled(linkRunning());
}

void TfrmQuenda::mnuModeManualClick() {
    SetMode(0);
    ShowChannelsPage();
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuModeAutoClick() {
    SetMode(1);
    ShowPage(page(QStringLiteral("tsSchedule")));
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuModeGeoClick() {
    SetMode(2);
    ShowPage(page(QStringLiteral("tsGeo")));
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuModeRGBDemoClick() {
    SetMode(3);
    ShowPage(page(QStringLiteral("tsChannelsGL")));
    state_->assignRequests(rqSetConfig); // drops every other pending request
}

void TfrmQuenda::mnuModeFlashClick() {
    SetMode(4);
    ShowChannelsPage();
    state_->assignRequests(rqSetConfig);
}

void TfrmQuenda::mnuStepBigClick() {
    // The action toggled its own check when triggered.
    auto* a = findChild<QAction*>(QStringLiteral("mnuStepBig"));
    const bool on = a ? a->isChecked() : !(state_->Config.Flag & 1);
    state_->Config.Flag = static_cast<uint8_t>(on ? (state_->Config.Flag | 1) : (state_->Config.Flag & ~1));
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuShowExpertClick() {
    const bool visible = !isTabVisible(QStringLiteral("tsExpert"));
    setTabVisible(QStringLiteral("tsExpert"), visible);
    setTabVisible(QStringLiteral("tsBalance"), visible);
    setTabVisible(QStringLiteral("tsJMP"), visible);
    if (visible) ShowPage(page(QStringLiteral("tsExpert")));
}

void TfrmQuenda::mnuShowRC433Click() {}

void TfrmQuenda::mnuRefreshClick() { raiseRequest(rqRefreshAll); }

void TfrmQuenda::mnuSaveEEPROMClick() { raiseRequest(rqSaveEEPROM); }

void TfrmQuenda::mnuIRLearnClick() {
    const QString text = MsgFmt(QStringLiteral("IRLearnDlgText"), {QStringLiteral("Drevanilux2")});
    if (!dialogs_->askYesNo(this, Msg(QStringLiteral("IRLearnDlgCaption")), text)) return;
    // Through the field table: the record is packed, its members may be unaligned.
    for (const char* key : {"Up", "Down", "Left", "Right", "Previous", "Next", "Settings", "Step"}) {
        const FieldDesc* f = findField(RecordKind::Expert, key);
        writeField(&state_->Expert, *f, 0, readField(&state_->Expert, *f) ^ 0x1000);
    }
    raiseRequest(rqSetExpert);
}

void TfrmQuenda::mnuLoadReefClick() {
    ShowPage(page(QStringLiteral("tsSchedule")));
    raiseRequest(rqLoadReef);
}

void TfrmQuenda::mnuHealthClick() {
    setTabVisible(QStringLiteral("tsExpert"), true);
    setTabVisible(QStringLiteral("tsBalance"), true);
    setTabVisible(QStringLiteral("tsJMP"), true);
    ShowPage(page(QStringLiteral("tsConfig")));
    raiseRequest(rqGetHealth);
}

void TfrmQuenda::mnuDebugClick() {
    StopLink();
    debugMessages_ = !debugMessages_;
    AddLog(Msg(debugMessages_ ? QStringLiteral("DebugMessagesActive") : QStringLiteral("DebugMessagesInactive")));
}

void TfrmQuenda::mnuSetTimeDateClick() {
    ShowPage(page(QStringLiteral("tsGeo")));
    if (auto* geo = qobject_cast<GeoPage*>(page(QStringLiteral("tsGeo")))) geo->btnNowClick();
}

void TfrmQuenda::mnuDiscoverClick() { bluetooth_->mnuDiscoverClick(); }

void TfrmQuenda::mnuRemoveClick() { bluetooth_->mnuRemoveClick(); }

void TfrmQuenda::BringToFront() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void TfrmQuenda::memDblClick() { connection_->memDblClick(); }

bool TfrmQuenda::eventFilter(QObject* watched, QEvent* event) {
    if (mem_ && watched == mem_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        memDblClick();
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmQuenda::pcChange(int index) {
    auto* p = qobject_cast<Page*>(pc_->widget(index));
    if (!p) return;
    if (p->objectName() == QLatin1String("tsTemp")) raiseRequest(rqGetChart);
    if (p->objectName() == QLatin1String("tsSchedule") && state_->isRaised(rqGetSchedule)) return;
    p->pageShown();
}

void TfrmQuenda::ApplicationEventsException(const QString& message) { AddLog(message); }

} // namespace quenda

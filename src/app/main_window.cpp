#include "app/main_window.h"

#include "app/bluetooth_control.h"
#include "app/connection.h"
#include "app/file_menu.h"
#include "app/page_menu.h"
#include "pages/enable_table.h"
#include "app/firmware_control.h"
#include "bluetooth/bluetooth_ports.h"
#include "files/settings_file.h"
#include "link/link_thread.h"
#include "lang/apply_language.h"
#include "lang/texts.h"
#include "link/device_codes.h"
#include "pages/channel_page.h"
#include "pages/geo_page.h"
#include "pages/page.h"
#include "schedule/schedule_page.h"
#include "status/status_display.h"

#include <quenda_version.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QKeySequence>
#include <QMenu>
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

TfrmQuenda::~TfrmQuenda() {
    FormDestroy();
    // Let focus leave while the window is whole: the focus-out handlers of the pages
    // still call into it, which they cannot once its own destructor has run.
    if (QWidget* f = focusWidget()) f->clearFocus();
    hide();
}

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
    scaleToScreen();
    const QString exe = options_.programFile.isEmpty() ? QCoreApplication::applicationFilePath() : options_.programFile;
    const QString backupNote = chooseProgramDir(exe);

    portName_.clear();
    bluetooth_ = new BluetoothControl(*this);
    connection_ = new ConnectionControl(*this);
    fileMenu_ = new FileMenu(*this);
    firmware_->setBackup(
        [this] {
            const FileMenu::UpdateBackup b = fileMenu_->WriteUpdateBackup(portName_);
            return FirmwareControl::Backup{b.path, b.error};
        },
        [this](const QString& path) { return fileMenu_->RestoreBackup(path); },
        [this](const QString& path) {
            const CompareResult r = CompareWithSettingsFile(*state_, path);
            return !r.ok || r.differs; // an unreadable backup is for the restore to report
        });
    connection_->LoadLastPort();

    setGroupVisible(PageGroup::Expert, false);
    setGroupVisible(PageGroup::RC433, false);
    debugMessages_ = false;

    const CommandLine cl = parseCommandLine(options_.args);
    for (const QString& line : cl.logLines) AddLog(line);
    if (!cl.port.isEmpty()) portName_ = cl.port;
    if (cl.expert) setGroupVisible(PageGroup::Expert, true);
    if (cl.rc433) setGroupVisible(PageGroup::RC433, true);
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

void TfrmQuenda::scaleToScreen() {
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
}

QString TfrmQuenda::chooseProgramDir(const QString& exe) {
    // Backups go to the program's folder, or to a per-user folder when it is read-only.
    programDir_ = options_.programDir.isEmpty() ? QFileInfo(exe).absolutePath() : options_.programDir;
    QString note;
    if (!folderWritable(programDir_)) {
        const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(fallback);
        note = QStringLiteral("Program folder not writable, backups go to ") + fallback;
        programDir_ = fallback;
    }
    if (!programDir_.endsWith(QLatin1Char('/'))) programDir_ += QLatin1Char('/');
    return note;
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
    for (const PageEntry& e : pageTable()) {
        const QString caption = QString::fromLatin1(e.caption);
        pc_->addTab(e.create(QString::fromLatin1(e.name), caption, *this, pc_), caption);
    }
    mem_ = pc_->findChild<QPlainTextEdit*>(QStringLiteral("mem"));
    mem_->viewport()->installEventFilter(this);
    connect(pc_, &QTabWidget::currentChanged, this, &TfrmQuenda::pcChange);
    pc_->setCurrentWidget(page(QStringLiteral("tsMessages")));
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
void TfrmQuenda::ShowWeatherRatios() { status_->showWeatherRatios(); }
void TfrmQuenda::ShowWeatherSettings() {
    // The weather record is the last of the first reads after connecting: leave the log.
    if (pc_->currentWidget() == page(QStringLiteral("tsMessages"))) {
        const int mode = state_->Config.Mode;
        ShowPage(page(isMode(mode, Mode::Auto)  ? QStringLiteral("tsSchedule")
                      : isMode(mode, Mode::Geo) ? QStringLiteral("tsGeo")
                                                : QStringLiteral("tsChannels")));
    }
    // Weather, balance, moon and delays first, then the rest (the lightning masks).
    QList<Page*> pages = allPages();
    const char* const first[] = {"tsWeather", "tsBalance", "tsMoon", "tsWeatherDelay"};
    for (const char* name : first) {
        if (Page* p = page(QString::fromLatin1(name))) {
            p->showWeatherSettings();
            pages.removeAll(p);
        }
    }
    for (auto* p : pages) p->showWeatherSettings();
    // A link that delivered its weather record has a port worth remembering.
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

namespace {
// The menus as data: a row is an item, a separator (name nullptr) or, with `menu` set,
// the start of a menu. Items without a slot are connected by their owners (the
// connection control, the channel page, the file handlers).
using Slot = void (TfrmQuenda::*)();
enum ItemFlag : uint8_t { kPlain = 0, kCheckable = 1, kHidden = 2 };
struct MenuRow {
    const char* menu;    // object name of a new top-level menu, or nullptr
    const char* name;    // object name of the item; nullptr: a separator
    const char* caption; // English caption
    QKeyCombination key;
    Slot slot;
    uint8_t flags;
};
constexpr QKeyCombination kNoKey{};
using T = TfrmQuenda;
const MenuRow kMenus[] = {
    {"mnuConnection", nullptr, "&Connection", kNoKey, nullptr, kPlain},
    {nullptr, "mnuDiscover", "Install devices automatically", Qt::CTRL | Qt::Key_I, &T::mnuDiscoverClick, kPlain},
    {nullptr, "mnuRemove", "Uninstall devices automatically", Qt::CTRL | Qt::Key_U, &T::mnuRemoveClick, kPlain},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuConnect", "Connect to", kNoKey, nullptr, kPlain}, // a submenu, filled by the connection control
    {nullptr, "mnuDisconnect", "Disconnect", Qt::CTRL | Qt::Key_D, nullptr, kPlain},
    {"mnuFile", nullptr, "&File", kNoKey, &T::mnuFileClick, kPlain},
    {nullptr, "mnuScheduleImport", "Import schedule...", Qt::CTRL | Qt::Key_T, nullptr, kPlain},
    {nullptr, "mnuConfigImport", "Import configuration...", Qt::CTRL | Qt::Key_K, nullptr, kPlain},
    {nullptr, "mnuScheduleConfigExport", "Export schedule and configuration...", Qt::CTRL | Qt::Key_E, nullptr, kPlain},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuFirmwareUpdate", "Update firmware...", kNoKey, nullptr, kPlain},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuExit", "Exit", Qt::ALT | Qt::Key_F4, &T::mnuExitClick, kPlain},
    {"mnuOptions", nullptr, "&Options", kNoKey, &T::mnuOptionsClick, kPlain},
    {nullptr, "mnuModeManual", "Mode: Manual", Qt::CTRL | Qt::Key_F1, &T::mnuModeManualClick, kCheckable},
    {nullptr, "mnuModeAuto", "Mode: Auto", Qt::CTRL | Qt::Key_F2, &T::mnuModeAutoClick, kCheckable},
    {nullptr, "mnuModeGeo", "Mode: Geo", Qt::CTRL | Qt::Key_F3, &T::mnuModeGeoClick, kCheckable},
    {nullptr, "mnuModeRGBDemo", "Mode: RGB demo", Qt::CTRL | Qt::Key_F4, &T::mnuModeRGBDemoClick, kCheckable},
    {nullptr, "mnuModeFlash", "Mode: Flash", Qt::CTRL | Qt::Key_F5, &T::mnuModeFlashClick, kCheckable},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuAllOff", "Set all channels to 0%", Qt::CTRL | Qt::Key_0, nullptr, kPlain},
    {nullptr, "mnuAll20", "Set all channels to 20%", Qt::CTRL | Qt::Key_2, nullptr, kPlain},
    {nullptr, "mnuAllOn", "Set all channels to 100%", Qt::CTRL | Qt::Key_1, nullptr, kPlain},
    {nullptr, "mnuSetTimeDate", "Set current time and date", Qt::CTRL | Qt::Key_C, &T::mnuSetTimeDateClick, kPlain},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuStepBig", "Big step size", QKeyCombination(Qt::Key_F4), &T::mnuStepBigClick, kCheckable},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuShowExpert", "Show Expert options", QKeyCombination(Qt::Key_F6), &T::mnuShowExpertClick, kCheckable},
    {nullptr, "mnuShowRC433", "433 MHz", QKeyCombination(Qt::Key_F8), &T::mnuShowRC433Click, kCheckable},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuRefresh", "Refresh", QKeyCombination(Qt::Key_F5), &T::mnuRefreshClick, kPlain},
    {nullptr, "mnuSaveEEPROM", "Save settings permanently", Qt::CTRL | Qt::Key_S, &T::mnuSaveEEPROMClick, kPlain},
    {nullptr, "mnuIRLearn", "Pair IR remote control...", Qt::CTRL | Qt::Key_R, &T::mnuIRLearnClick, kPlain},
    {nullptr, "mnuLoadReef", "Load reef bundle defaults", kNoKey, &T::mnuLoadReefClick, kPlain},
    // Reached by their short-cuts only: actions of the window, not in the menu.
    {nullptr, "mnuHealth", "Read health data", Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_X, &T::mnuHealthClick, kHidden},
    {nullptr, "mnuDebug", "Debug", Qt::CTRL | Qt::ALT | Qt::Key_D, &T::mnuDebugClick, kHidden},
    {"mnuHelp", nullptr, "&Help", kNoKey, nullptr, kPlain},
    {nullptr, "mnuHardware", "Hardware manual", kNoKey, nullptr, kPlain},
    {nullptr, "mnuSoftware", "Software manual / updates", kNoKey, nullptr, kPlain},
    {nullptr, "mnuFAQ", "FAQ / error tracking", QKeyCombination(Qt::Key_F1), nullptr, kPlain},
    {nullptr, nullptr, nullptr, kNoKey, nullptr, kPlain},
    {nullptr, "mnuAbout", "About Quenda...", kNoKey, &T::mnuAboutClick, kPlain},
};
} // namespace

void TfrmQuenda::buildMenus() {
    auto* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    QMenu* menu = nullptr;
    for (const MenuRow& r : kMenus) {
        if (r.menu) {
            menu = bar->addMenu(QString::fromLatin1(r.caption));
            menu->menuAction()->setObjectName(QString::fromLatin1(r.menu));
            menu->setObjectName(QString::fromLatin1(r.menu) + QStringLiteral("Menu"));
            // A menu's slot runs as it opens.
            if (r.slot) connect(menu, &QMenu::aboutToShow, this, r.slot);
            continue;
        }
        if (!r.name) {
            menu->addSeparator();
            continue;
        }
        const QString name = QString::fromLatin1(r.name);
        if (name == QLatin1String("mnuConnect")) {
            QMenu* sub = menu->addMenu(QString::fromLatin1(r.caption));
            sub->setObjectName(QStringLiteral("mnuConnectMenu"));
            sub->menuAction()->setObjectName(name);
            continue;
        }
        auto* a = new QAction(QString::fromLatin1(r.caption), this);
        a->setObjectName(name);
        if (r.key != kNoKey) {
            a->setShortcut(QKeySequence(r.key));
            a->setShortcutContext(Qt::ApplicationShortcut);
        }
        a->setCheckable(r.flags & kCheckable);
        if (r.slot) connect(a, &QAction::triggered, this, r.slot);
        if (r.flags & kHidden) QMainWindow::addAction(a);
        else menu->addAction(a);
    }
    mnuConnection_ = findChild<QMenu*>(QStringLiteral("mnuConnectionMenu"));
    mnuFile_ = findChild<QMenu*>(QStringLiteral("mnuFileMenu"));
    mnuOptions_ = findChild<QMenu*>(QStringLiteral("mnuOptionsMenu"));
    mnuHelp_ = findChild<QMenu*>(QStringLiteral("mnuHelpMenu"));
    mnuShowRC433_ = findChild<QAction*>(QStringLiteral("mnuShowRC433"));
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

void TfrmQuenda::setGroupVisible(PageGroup group, bool visible) {
    for (const QString& name : pagesOf(group)) setTabVisible(name, visible);
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
            QPointer<QObject>& target = enableTargets_[name];
            if (!target) {
                if (auto* a = findChild<QAction*>(name)) target = a;
                else target = findChild<QWidget*>(name);
            }
            if (auto* a = qobject_cast<QAction*>(target.data())) a->setEnabled(on);
            else if (auto* w = qobject_cast<QWidget*>(target.data())) w->setEnabled(on);
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
    const char* modes[kModeCount] = {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash"};
    for (int i = 0; i < kModeCount; ++i)
        if (auto* a = findChild<QAction*>(QString::fromLatin1(modes[i]))) a->setChecked(state_->Config.Mode == i);
    if (auto* a = findChild<QAction*>(QStringLiteral("mnuStepBig"))) a->setChecked(state_->Config.Flag & Flag::StepBig);
    if (auto* a = findChild<QAction*>(QStringLiteral("mnuShowExpert")))
        a->setChecked(isTabVisible(QStringLiteral("tsExpert")));
    mnuShowRC433_->setChecked(isTabVisible(QStringLiteral("tsRC433")));
}

void TfrmQuenda::mnuFileClick() {
    if (auto* a = findChild<QAction*>(QStringLiteral("mnuFirmwareUpdate"))) a->setEnabled(linkRunning());
}

void TfrmQuenda::mnuModeManualClick() {
    SetMode(int(Mode::Manual));
    ShowChannelsPage();
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuModeAutoClick() {
    SetMode(int(Mode::Auto));
    ShowPage(page(QStringLiteral("tsSchedule")));
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuModeGeoClick() {
    SetMode(int(Mode::Geo));
    ShowPage(page(QStringLiteral("tsGeo")));
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuModeRGBDemoClick() {
    SetMode(int(Mode::RGBDemo));
    ShowPage(page(QStringLiteral("tsChannelsGL")));
    state_->assignRequests(rqSetConfig); // drops every other pending request
}

void TfrmQuenda::mnuModeFlashClick() {
    SetMode(int(Mode::Flash));
    ShowChannelsPage();
    state_->assignRequests(rqSetConfig);
}

void TfrmQuenda::mnuStepBigClick() {
    // The action toggled its own check when triggered.
    auto* a = findChild<QAction*>(QStringLiteral("mnuStepBig"));
    const bool on = a ? a->isChecked() : !(state_->Config.Flag & Flag::StepBig);
    state_->Config.Flag =
        static_cast<uint8_t>(on ? (state_->Config.Flag | Flag::StepBig) : (state_->Config.Flag & ~Flag::StepBig));
    raiseRequest(rqSetConfig);
}

void TfrmQuenda::mnuShowExpertClick() {
    const bool visible = !isTabVisible(QStringLiteral("tsExpert"));
    setGroupVisible(PageGroup::Expert, visible);
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
    setGroupVisible(PageGroup::Expert, true);
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

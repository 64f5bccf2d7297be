// The main window: owns the device-state block, the pages, the menus, the message
// log and at most one link. Everything here runs on the window's thread.
#pragma once

#include "app/command_line.h"
#include "pages/enable_table.h"
#include "app/message_log.h"
#include "app/page_table.h"
#include "pages/services.h"
#include "pages/enable_table.h"
#include "pages/window_services.h"
#include "link/device_state.h"
#include "link/link_host.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTabWidget;

namespace quenda {

class Page;
class TthdCom;
class ConnectionControl;
class FileMenu;
class FirmwareControl;
class StatusDisplay;
class TthdDiscover;
class BluetoothControl;

// Platform pieces the window can be given (tests replace them).
struct WindowOptions {
    QStringList args;                 // command line without the program name
    QString programFile;              // defaults to the running executable
    QString programDir;               // defaults to the executable's folder (or a per-user folder)
    std::shared_ptr<Dialogs> dialogs; // defaults to the real dialogs
    std::shared_ptr<Clock> clock;     // defaults to the computer's clock
    bool useTaskbar = true;
    // Replaces starting a real link (tests that only watch the window).
    std::function<void(const QString& port, bool debug)> startLink;
    // Options for real links (tests shorten the waits and the port's time-outs).
    std::function<std::shared_ptr<TthdCom>(std::shared_ptr<DeviceState>, std::shared_ptr<LinkHost>, const QString&, bool)>
        makeLink;
    // Serial-port entries for the Connection menu; empty: the system's ports.
    std::function<QStringList()> enumeratePorts;
    bool watchSystem = true; // port arrivals, suspend/resume, the Bluetooth daemon
    // Replaces the Bluetooth install and uninstall runs (tests give them a mock stack).
    std::function<std::shared_ptr<TthdDiscover>(std::shared_ptr<LinkHost>, bool install)> makeDiscover;
    // With no port given or remembered and no serial hardware, start on the demo device.
    bool demoWhenIdle = false;
};

class TfrmQuenda : public QMainWindow, public WindowServices, public LinkWindow {
    Q_OBJECT
public:
    explicit TfrmQuenda(WindowOptions options = {}, QWidget* parent = nullptr);
    ~TfrmQuenda() override;

    static constexpr int kClientWidth = 1009;
    static constexpr int kClientHeight = 655;

    // ---- WindowServices ----
    DeviceState& state() override { return *state_; }
    DeviceState& State() override { return *state_; }
    // For a link started from outside (the bench), which must share the block.
    std::shared_ptr<DeviceState> sharedState() const { return state_; }
    void AddLog(const QString& text) override;
    void ShowPage(QWidget* page) override;
    void SetMode(int mode) override;
    void ShowChannelsPage() override;
    bool isConnected() const override { return connected_; }
    Dialogs& dialogs() override { return *dialogs_; }
    Clock& clock() override { return *clock_; }

    void SetStatus(const QString& text) override;
    // Shown after the status text in the status bar (the demo device says so there).
    void setStatusNote(const QString& note) { log_->setStatusNote(note); }
    void EnableControls(bool connected) override;
    void applyEnableRules(std::initializer_list<EnableWhen> only = {}) override;
    QWidget* mainWidget() override { return this; }

    // Record displays, forwarded to every page (and the window's own status parts).
    void ShowDeviceInfo() override;
    void ShowModeAndSettings() override;
    void ShowExpertSettings() override;
    void ShowWeatherRatios() override;
    void ShowWeatherSettings() override;
    void ShowSchedule() override;
    void DrawChart() override;
    void DrawHealth() override;
    // Every page, in tab order.
    QList<Page*> allPages() const;
    void SetTaskbarProgress(uint64_t completed, uint64_t total) override;
    QString ChooseFirmwareFile() override;
    void FirmwareTransferEnded() override;

    // Window state.
    const QString& portName() const override { return portName_; }
    void setPortName(const QString& p) { portName_ = p; }
    const QString& programDir() const { return programDir_; }
    bool debugMessages() const { return debugMessages_; }
    QTabWidget* pages() const { return pc_; }
    Page* page(const QString& objectName) const;
    QPlainTextEdit* messageLog() const { return mem_; }
    QLabel* statusPanel(int i) const override { return sbPanels_[i]; }
    bool linkRunning() const;

    // The file-description line: path, modified time, size and "bytes"; empty when missing.
    static QString fileDescription(const QString& path);

public slots:
    void mnuExitClick();
    void mnuOptionsClick();
    void mnuFileClick();
    void mnuModeManualClick();
    void mnuModeAutoClick();
    void mnuModeGeoClick();
    void mnuModeRGBDemoClick();
    void mnuModeFlashClick();
    void mnuStepBigClick();
    void mnuShowExpertClick();
    void mnuShowRC433Click();
    void mnuRefreshClick();
    void mnuSaveEEPROMClick();
    void mnuIRLearnClick();
    void mnuLoadReefClick();
    void mnuHealthClick();
    void mnuDebugClick();
    void mnuAboutClick();
    void mnuSetTimeDateClick();
    void mnuDiscoverClick();
    void mnuRemoveClick();
    void memDblClick();
    void pcChange(int index);
    void ApplicationEventsException(const QString& message);

    // Writes the backup, then asks a running link to end.
    void StopLink();
    // Starts a link on the current port (after disposing of an ended one).
    void startLink();
    TthdCom* link() const { return link_.get(); }
    QStringList& portList() { return portList_; }
    const WindowOptions& options() const { return options_; }
    ConnectionControl* connection() const { return connection_; }
    BluetoothControl* bluetooth() const { return bluetooth_; }
    std::shared_ptr<LinkHost> linkHost() const { return linkHost_->Host(); }
    void BringToFront() override;
    FileMenu* fileMenu() const { return fileMenu_; }
    FirmwareControl* firmware() const { return firmware_; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Life cycle, in the order the program runs them.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();

    // The geo page's "Now": the clock fields from the computer; raises rqSetTime when asked.
    void GeoNow(bool raiseSetTime);
    void setTabVisible(const QString& pageName, bool visible);
    bool isTabVisible(const QString& pageName) const;
    void setGroupVisible(PageGroup group, bool visible);


private:
    void buildPages();
    void buildMenus();
    void buildStatusBar();
    void scaleToScreen();
    // Sets programDir_; returns the log note when it had to fall back to a per-user folder.
    QString chooseProgramDir(const QString& exe);

    WindowOptions options_;
    std::shared_ptr<DeviceState> state_ = std::make_shared<DeviceState>();
    std::unique_ptr<QtLinkHost> linkHost_;
    std::shared_ptr<TthdCom> link_;
    ConnectionControl* connection_ = nullptr;
    BluetoothControl* bluetooth_ = nullptr;
    FileMenu* fileMenu_ = nullptr;
    FirmwareControl* firmware_ = nullptr;
    std::shared_ptr<Dialogs> dialogs_;
    std::shared_ptr<Clock> clock_;
    std::unique_ptr<TaskbarProgress> taskbar_;
    std::unique_ptr<MessageLog> log_;
    std::unique_ptr<StatusDisplay> status_;

    QTabWidget* pc_ = nullptr;
    QPlainTextEdit* mem_ = nullptr;
    QLabel* sbPanels_[3] = {};
    QMenu* mnuConnection_ = nullptr;
    QMenu* mnuFile_ = nullptr;
    QMenu* mnuOptions_ = nullptr;
    QMenu* mnuHelp_ = nullptr;
    QAction* mnuShowRC433_ = nullptr;

    QString portName_;
    QString programDir_;
    QStringList portList_;
    bool debugMessages_ = false;
    bool connected_ = false;
    bool linkStarted_ = false; // the default startLink only records that one was asked for
    // The enabling table's controls by name, found once: the rules run at every poll.
    QHash<QString, QPointer<QObject>> enableTargets_;
    bool formShown_ = false;
};

} // namespace quenda

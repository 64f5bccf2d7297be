// The Connection menu and everything that decides which port the link talks to:
// the port list, picking, switching and disconnecting, typed ports, the demo
// device, the remembered port, new and returning ports, standby and resume, and
// the help pages. Window's thread only.
//
// Ports are never chosen by themselves when they are legacy on-board ports
// (ttyS*), and "most recently added" means the order in which ports appeared
// while the tool runs. A link the user stopped stays stopped until the user
// connects again.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace quenda {

class TfrmQuenda;
class PortArrivalWatcher;
class SuspendWatcher;
class DemoDevice;

class ConnectionControl : public QObject {
    Q_OBJECT
public:
    explicit ConnectionControl(TfrmQuenda& window);
    ~ConnectionControl() override;

    // At start-up, after the remembered and command-line ports are known: the demo
    // device when asked for (or remembered), the current port when there is one, or,
    // with nothing attached and the window allowing it, the demo device.
    void startAtLaunch(bool demoAsked);
    bool demoActive() const;
    // The paths typed under "Other port...", newest first.
    static QStringList typedPorts();

    void ListSerialPorts();
    void LoadLastPort();
    void SaveLastPort();
    void ForgetLastPort();
    // The disconnect backup of schedule and settings (while connected).
    void WriteBackup();

    // The help page for a menu item in the interface language, as a URL.
    QString helpPage(const QString& item) const;

public slots:
    void mnuConnectionClick();
    void mnuPortClick();
    void mnuDisconnectClick();
    void memDblClick();
    void mnuHelpPageClick();
    void mnuDemoDeviceClick();
    void mnuOtherPortClick();
    // A new serial port appeared (entries as listed).
    void portsArrived(const QStringList& entries);
    void systemSuspending();
    void systemResuming();

private:
    // Connects to the entry the user chose: switches a running link, or starts one.
    void connectTo(const QString& entry);
    // The listed entry (or the existing typed path) for a port text; empty when absent.
    QString present(const QString& portText) const;
    QStringList enumerate() const;

    TfrmQuenda& w_;
    std::unique_ptr<DemoDevice> demo_;
    QAction* demoAction_ = nullptr;
    QAction* otherAction_ = nullptr;
    QStringList arrivalOrder_;
    bool userStopped_ = false;
    QMenu* connectMenu_ = nullptr;
    PortArrivalWatcher* arrivals_ = nullptr;
    SuspendWatcher* power_ = nullptr;
};

} // namespace quenda

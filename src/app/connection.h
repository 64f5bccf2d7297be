// The Connection menu and everything that decides which port the link talks to:
// the port list, picking, switching and disconnecting, the remembered port, new
// ports appearing, standby and resume, and the help pages. Window's thread only.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QMenu;

namespace quenda {

class TfrmQuenda;
class PortArrivalWatcher;
class SuspendWatcher;

class ConnectionControl : public QObject {
    Q_OBJECT
public:
    explicit ConnectionControl(TfrmQuenda& window);

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
    // A new serial port appeared (entries as listed).
    void portsArrived(const QStringList& entries);
    void systemSuspending();
    void systemResuming();

private:
    // The system's serial ports, then the reachable Bluetooth controllers.
    std::function<QStringList()> enumerator() const;

    TfrmQuenda& w_;
    QMenu* connectMenu_ = nullptr;
    PortArrivalWatcher* arrivals_ = nullptr;
    SuspendWatcher* power_ = nullptr;
};

} // namespace quenda

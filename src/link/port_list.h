// The serial ports the system offers, the remembered port, and the notice that a new
// port appeared. Everything here runs on the window's thread.
//
// Port-list entries read "<port name> (<device description or location>)", for
// example "ttyUSB0 (FT232R USB UART)" or "rfcomm0 (/dev/rfcomm0)"; whoever opens a
// port takes the text before the first blank. Pseudo-terminals are not listed, but a
// pty path given on the command line or typed in still opens.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QSerialPortInfo;

namespace quenda {

using PortLogFn = std::function<void(const QString&)>;
// The current entries, in the order the system enumerates the ports.
using PortEnumerator = std::function<QStringList()>;

QString PortEntry(const QSerialPortInfo& info);
// The system's ports as entries; logs nothing.
QStringList SerialPortEntries();

// A legacy on-board port (ttyS0, /dev/ttyS1): often the console, never chosen by itself.
bool IsOnboardPort(const QString& entry);
// The entries of `now` in the order they appeared: those of `previous` that are still
// present keep their places, new ones follow in the system's order.
QStringList InArrivalOrder(const QStringList& previous, const QStringList& now);
// The most recently added entry that may be chosen without the user; empty when none.
QString NewestChoosablePort(const QStringList& inArrivalOrder);

// Rebuilds `list` from the system's ports (or from `enumerate`), logging as it goes:
// the listing notice, each entry, and the no-ports notice when none was found.
void ListSerialPorts(QStringList& list, const PortLogFn& log, const PortEnumerator& enumerate = {});

// The remembered port: user settings of the organisation below, value "Port".
// Settings failures are ignored; the current port then keeps what it had.
inline constexpr char kSettingsOrganization[] = "Drevanilux2";
inline constexpr char kSettingsPortValue[] = "Port";
// Sets currentPort and logs "Read from registry: <port>" when a port is remembered.
bool LoadLastPort(QString& currentPort, const PortLogFn& log);
// Remembers the port and logs "Written to registry: <port>".
void SaveLastPort(const QString& port, const PortLogFn& log);
// Forgets everything remembered.
void ForgetLastPort();

// Reports serial ports that appear. Watches the device folder and re-lists the ports
// shortly after it changes (and once more a little later, for device managers that
// finish setting a node up after it appears); where the folder cannot be watched it
// re-lists every two seconds instead. Entries are as in ListSerialPorts.
class PortArrivalWatcher : public QObject {
    Q_OBJECT
public:
    struct Options {
        PortEnumerator enumerate; // empty: SerialPortEntries
        QString watchDir = QStringLiteral("/dev");
        int pollMs = 2000;  // fallback polling
        int settleMs = 250; // first re-list after a change of the folder
        int lateMs = 1500;  // second re-list after a change
    };

    explicit PortArrivalWatcher(QObject* parent = nullptr);
    explicit PortArrivalWatcher(Options options, QObject* parent = nullptr);

    // True when the folder is watched; false when polling.
    bool watching() const { return watching_; }

public slots:
    // Lists the ports now and reports the new ones.
    void rescan();

signals:
    // Entries that were not present at the previous listing, in listing order.
    void portsArrived(const QStringList& entries);

private:
    void folderChanged();

    Options options_;
    QSet<QString> known_;
    QFileSystemWatcher watcher_;
    QTimer poll_, settle_, late_;
    bool watching_ = false;
};

} // namespace quenda

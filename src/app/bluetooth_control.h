// The two install items of the Connection menu: one Bluetooth install or uninstall run
// at a time, the pairing agent, and the paired controllers offered as ports.
// Window's thread only.
#pragma once

#include "bluetooth/discover.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace quenda {

class TfrmQuenda;
class BluetoothPortList;
class PairingTarget;

class BluetoothControl : public QObject {
    Q_OBJECT
public:
    explicit BluetoothControl(TfrmQuenda& window);
    ~BluetoothControl() override;

    // A run exists and has not finished.
    bool runActive() const { return run_ && !run_->Finished(); }
    const std::shared_ptr<TthdDiscover>& run() const { return run_; }
    // The Bluetooth port entries known right now.
    QStringList portEntries() const;
    // At shutdown: ends a run and waits for it at most timeoutMs.
    void Close(int timeoutMs);

public slots:
    void mnuDiscoverClick();
    void mnuRemoveClick();

signals:
    void portsChanged();

private:
    void startRun(bool install);

    TfrmQuenda& w_;
    std::shared_ptr<PairingTarget> target_;
    BluetoothPortList* ports_ = nullptr;
    std::shared_ptr<TthdDiscover> run_;
};

} // namespace quenda

#include "app/bluetooth_control.h"

#include "app/connection.h"
#include "app/main_window.h"
#include "bluetooth/bluetooth_ports.h"
#include "bluetooth/bluez_system.h"
#include "pages/page.h"

#include <QAction>
#include <QMenu>

namespace quenda {

BluetoothControl::BluetoothControl(TfrmQuenda& window)
    : QObject(&window), w_(window), target_(std::make_shared<PairingTarget>()) {
    if (w_.options().watchSystem) {
        (new BluezAgent(target_, this))->Export();
        ports_ = new BluetoothPortList(this);
        connect(ports_, &BluetoothPortList::changed, this, &BluetoothControl::portsChanged);
    }
    if (auto* m = w_.findChild<QMenu*>(QStringLiteral("mnuConnectionMenu"))) {
        // The items are offered only while no run is active; once the menu is closed
        // their short-cuts stay live, and the handlers refuse a second run themselves.
        const auto enable = [this](bool on) {
            for (const char* name : {"mnuDiscover", "mnuRemove"})
                if (auto* a = w_.findChild<QAction*>(QString::fromLatin1(name))) a->setEnabled(on);
        };
        connect(m, &QMenu::aboutToShow, this, [this, enable] { enable(!runActive()); });
        connect(m, &QMenu::aboutToHide, this, [enable] { enable(true); });
    }
}

BluetoothControl::~BluetoothControl() { Close(0); }

QStringList BluetoothControl::portEntries() const { return ports_ ? ports_->entries() : QStringList(); }

void BluetoothControl::Close(int timeoutMs) {
    if (!run_) return;
    run_->Terminate();
    run_->WaitFinished(timeoutMs);
}

void BluetoothControl::mnuDiscoverClick() {
    w_.ShowPage(w_.page(QStringLiteral("tsMessages")));
    if (runActive()) return;
    startRun(true);
}

void BluetoothControl::mnuRemoveClick() {
    w_.ShowPage(w_.page(QStringLiteral("tsMessages")));
    if (runActive()) return;
    // A connected controller cannot be removed.
    w_.StopLink();
    w_.setPortName(QString());
    w_.connection()->ForgetLastPort();
    startRun(false);
}

void BluetoothControl::startRun(bool install) {
    const auto host = w_.linkHost();
    run_ = w_.options().makeDiscover ? w_.options().makeDiscover(host, install)
                                     : std::make_shared<TthdDiscover>(host, std::make_shared<BluezSystem>(target_), install);
    QString error;
    if (!run_->Start(error)) w_.AddLog(error);
}

} // namespace quenda

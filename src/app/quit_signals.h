// SIGTERM and SIGINT as a Qt signal: the handler only writes a byte into a pipe,
// and the event loop reads it and emits quitRequested, so the orderly close runs
// outside the signal handler. One instance at a time.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace quenda {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override; // restores the previous handlers

    // False where the pipe or the handlers could not be set up.
    bool active() const { return notifier_ != nullptr; }

signals:
    void quitRequested(int signalNumber);

private:
    void readPipe();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quenda

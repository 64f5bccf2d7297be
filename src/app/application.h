// The application object: turns an exception that escapes any handler into one
// log line instead of a dialog or a crash.
#pragma once

#include <QApplication>
#include <functional>

namespace quenda {

class QuendaApplication : public QApplication {
public:
    QuendaApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    void setExceptionSink(std::function<void(const QString&)> sink) { sink_ = std::move(sink); }

private:
    std::function<void(const QString&)> sink_;
};

// Keeps the system from showing crash or critical-error dialogs of its own.
void suppressSystemErrorDialogs();

} // namespace quenda

// Seams between the window and the desktop, so tests can answer dialogs, pick files
// and set the clock, and platforms without a service simply lack it.
#pragma once

#include <QDateTime>
#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <memory>

class QWidget;

namespace quenda {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A Yes/No question with a warning symbol, No the default.
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text);
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& dir, const QString& filter);
    // Asks before overwriting; a name typed without extension gets `defaultSuffix`.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& dir, const QString& filter,
                                 const QString& defaultSuffix = QString());
    // The program's name and version; informs only, so it does not block the window.
    virtual void about(QWidget* parent, const QString& caption, const QString& text);
    // A line of text, with earlier answers offered; empty when cancelled.
    virtual QString askText(QWidget* parent, const QString& caption, const QString& label, const QStringList& offered);
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

// The desktop's task-bar progress on the window's button; optional.
class TaskbarProgress {
public:
    enum class State { Normal, Paused, Error };
    virtual ~TaskbarProgress() = default;
    virtual void setProgress(uint64_t completed, uint64_t total) = 0;
    virtual void setState(State s) = 0;
};

// The launcher-entry service over the session bus where a desktop offers one; null otherwise.
std::unique_ptr<TaskbarProgress> createTaskbarProgress();

} // namespace quenda

// The message log on the Messages page and the status text in the status bar.
// Window's thread only.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class QPlainTextEdit;
class QLabel;

namespace quenda {

// "[" + local short date + " " + long time + "] "
QString logPrefix(const QDateTime& when);
// Every line of a multi-line message carries the prefix.
QString stampLines(const QString& text, const QString& prefix);

class MessageLog {
public:
    using Clock = std::function<QDateTime()>;

    MessageLog(QPlainTextEdit* mem, QLabel* statusPanel, int maxLines = kMaxLines);

    void AddLog(const QString& text);
    void SetStatus(const QString& text);

    void setClock(Clock c) { clock_ = std::move(c); }
    void setStatusNote(const QString& note) { note_ = note; }

    // Oldest lines go first beyond this, so a babbling device cannot grow the log without bound.
    static constexpr int kMaxLines = 20000;

private:
    QPlainTextEdit* mem_;
    QLabel* statusPanel_;
    Clock clock_;
    QString note_;
};

} // namespace quenda

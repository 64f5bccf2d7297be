#include "app/message_log.h"

#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace quenda {

QString logPrefix(const QDateTime& when) {
    const QLocale loc = QLocale::system();
    return QStringLiteral("[") + loc.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           loc.toString(when.time(), QLocale::LongFormat) + QStringLiteral("] ");
}

QString stampLines(const QString& text, const QString& prefix) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QLatin1Char('\n') + prefix);
    return prefix + t;
}

MessageLog::MessageLog(QPlainTextEdit* mem, QLabel* statusPanel, int maxLines)
    : mem_(mem), statusPanel_(statusPanel), clock_([] { return QDateTime::currentDateTime(); }) {
    if (mem_) mem_->setMaximumBlockCount(maxLines);
}

void MessageLog::AddLog(const QString& text) {
    if (!mem_) return;
    mem_->appendPlainText(stampLines(text, logPrefix(clock_())));
    if (auto* bar = mem_->verticalScrollBar()) bar->setValue(bar->maximum());
}

void MessageLog::SetStatus(const QString& text) {
    if (statusPanel_) statusPanel_->setText(note_.isEmpty() ? text : text + QStringLiteral(" \u2013 ") + note_);
    AddLog(text);
}

} // namespace quenda

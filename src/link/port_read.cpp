#include "link/port_read.h"

#include <QDeadlineTimer>

namespace quenda {

QByteArray ReadWithin(int n, int timeoutMs, const PortReadSteps& steps, QString& error) {
    QByteArray out;
    error.clear();
    if (n <= 0) return out;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        out += steps.take(n - out.size());
        if (out.size() >= n) break;
        const qint64 left = deadline.remainingTime();
        if (left <= 0) break; // plain time-out: no error text
        if (QString failed = steps.wait(int(left)); !failed.isEmpty()) {
            out += steps.take(n - out.size());
            error = std::move(failed);
            break;
        }
    }
    return out;
}

} // namespace quenda

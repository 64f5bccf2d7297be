#include "pages/entry_check.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QSignalBlocker>
#include <QVariant>

#include <cmath>

namespace quenda {

namespace {
constexpr char kUnparsed[] = "quendaUnparsed";
constexpr char kPaletteBefore[] = "quendaPaletteBefore"; // the colours the mark covers
const QColor kUnparsedBackground(0xFF, 0xB0, 0xB0);

class EntryCheck : public QObject {
public:
    EntryCheck(QLineEdit* edit, std::function<bool(const QString&)> parses, std::function<QString()> stored)
        : QObject(edit), edit_(edit), parses_(std::move(parses)), stored_(std::move(stored)) {
        connect(edit, &QLineEdit::textEdited, this,
                [this](const QString& text) { markUnparsed(edit_, !parses_(text)); });
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == edit_ && event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            const QSignalBlocker block(edit_);
            edit_->setText(stored_());
            markUnparsed(edit_, false);
        }
        return false;
    }

private:
    QLineEdit* edit_;
    std::function<bool(const QString&)> parses_;
    std::function<QString()> stored_;
};

class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel) return false;
        const auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->hasFocus()) return false;
        // Filtered and not accepted: the application hands the wheel to the parent.
        event->ignore();
        return true;
    }
};
} // namespace

std::optional<double> parseDecimal(const QString& text) {
    QString t = text.trimmed();
    int marks = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == ',' || c == '.') {
            ++marks;
            t[i] = '.';
        } else if (!(c.isDigit() && c.unicode() < 128) && !((c == '-' || c == '+') && i == 0)) {
            return std::nullopt;
        }
    }
    if (marks > 1) return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

void markUnparsed(QWidget* control, bool unparsed) {
    if (!control || isMarkedUnparsed(control) == unparsed) return;
    control->setProperty(kUnparsed, unparsed);
    if (unparsed) {
        // Only what was set on the control itself (a channel colour, say) comes back.
        control->setProperty(kPaletteBefore, control->testAttribute(Qt::WA_SetPalette)
                                                 ? QVariant(control->palette())
                                                 : QVariant());
        QPalette pal = control->palette();
        pal.setColor(QPalette::Base, kUnparsedBackground);
        control->setPalette(pal);
    } else {
        const QVariant before = control->property(kPaletteBefore);
        control->setPalette(before.isValid() ? before.value<QPalette>() : QPalette());
        control->setProperty(kPaletteBefore, QVariant());
    }
}

bool isMarkedUnparsed(const QWidget* control) {
    return control && control->property(kUnparsed).toBool();
}

void attachEntryCheck(QLineEdit* edit, std::function<bool(const QString&)> parses,
                      std::function<QString()> storedText) {
    new EntryCheck(edit, std::move(parses), std::move(storedText));
}

void installWheelGuard(QWidget* control) {
    if ((control->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus) control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

} // namespace quenda

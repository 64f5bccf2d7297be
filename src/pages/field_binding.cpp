#include "pages/field_binding.h"

#include <QPointer>

#include "pages/entry_check.h"
#include "pages/number_text.h"
#include "pages/temp_text.h"
#include "pages/window_services.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace quenda {

namespace {
QString expand(const char* name, int index) {
    QString s = QString::fromLatin1(name);
    return s.contains(QLatin1String("%1")) ? s.arg(index) : s;
}

// Raw value per shown unit, as num/den.
struct Scale {
    int64_t num, den;
};
Scale scaleOf(Conv conv) {
    switch (conv) {
    case Conv::LevelPercent: return {kLevelMax, 100};
    case Conv::LevelByte: return {255, 100};
    case Conv::Tenths:
    case Conv::TenthsShort: return {10, 1};
    default: return {1, 1};
    }
}

const char* patternOf(Conv conv) {
    switch (conv) {
    case Conv::LevelPercent: return "0.##";
    case Conv::LevelByte:
    case Conv::TenthsShort: return "0.#";
    case Conv::Tenths: return "0.0";
    default: return "0";
    }
}
} // namespace

QString fieldText(Conv conv, int64_t raw, const TConfig& config) {
    if (conv == Conv::Temp) return TempText(int(raw), config);
    const Scale sc = scaleOf(conv);
    return formatNumber(double(raw) * double(sc.den) / double(sc.num), patternOf(conv));
}

std::optional<int64_t> parseFieldText(Conv conv, const QString& text, const TConfig& config) {
    if (conv == Conv::Temp) return ParseTemp(text, config);
    const Scale sc = scaleOf(conv);
    return parseRounded(text, sc.num, sc.den);
}

FieldBinding::FieldBinding(WindowServices& win, QWidget* page) : QObject(page), win_(win), page_(page) {}

void FieldBinding::add(const FieldBind& row, int first, int count, std::function<void(int)> hook,
                       BindExtras extras) {
    const FieldDesc* desc = findField(row.record, row.field);
    Q_ASSERT_X(desc, "FieldBinding::add", row.field);
    if (!desc) return;
    const std::size_t start = rows_.size();
    for (int i = first; i < first + count; ++i) {
        auto* control = page_->findChild<QWidget*>(expand(row.control, i));
        Q_ASSERT_X(control, "FieldBinding::add", row.control);
        if (!control) continue;
        if (i >= desc->count) {
            qWarning("FieldBinding: %s has no element %d", row.field, i);
            continue;
        }
        QAbstractSlider* partner =
            row.partner ? page_->findChild<QAbstractSlider*>(expand(row.partner, i)) : nullptr;
        if (partner) {
            partner->setRange(row.min, row.max);
            partner->setPageStep(row.pageStep);
            if (auto* s = qobject_cast<QSlider*>(partner); s && row.tick) s->setTickInterval(row.tick);
        }
        rows_.push_back({row, desc, i, control, partner, hook, extras});
    }
    // The lambdas find their row by position: the vector may still grow.
    for (std::size_t k = start; k < rows_.size(); ++k) {
        const Bound& b = rows_[k];
        if (auto* e = qobject_cast<QLineEdit*>(b.control)) {
            connect(e, &QLineEdit::textChanged, this, [this, k](const QString& t) { edited(rows_[k], t); });
            // The edit may outlive the binding (its focus leaves as the page is torn down).
            const QPointer<FieldBinding> self(this);
            attachEntryCheck(
                e,
                [self, k](const QString& t) {
                    return !self || parseFieldText(self->rows_[k].row.conv, t, self->win_.state().Config).has_value();
                },
                [self, k, e] {
                    return self ? fieldText(self->rows_[k].row.conv, self->read(self->rows_[k]), self->win_.state().Config)
                                : e->text();
                });
        } else if (qobject_cast<QAbstractSlider*>(b.control) || qobject_cast<QComboBox*>(b.control)) {
            installWheelGuard(b.control);
        }
        if (auto* btn = qobject_cast<QAbstractButton*>(b.control))
            connect(btn, &QAbstractButton::clicked, this, [this, k](bool on) { clicked(rows_[k], on); });
        else if (auto* combo = qobject_cast<QComboBox*>(b.control))
            connect(combo, &QComboBox::activated, this, [this, k](int i) {
                if (i >= 0) clicked(rows_[k], true);
            });
        else if (auto* s = qobject_cast<QAbstractSlider*>(b.control))
            connect(s, &QAbstractSlider::valueChanged, this, [this, k, s](int v) { slid(rows_[k], s, v); });
        if (QAbstractSlider* p = b.partner) {
            installWheelGuard(p);
            connect(p, &QAbstractSlider::valueChanged, this, [this, k, p](int v) { slid(rows_[k], p, v); });
        }
    }
}

void* FieldBinding::record(RecordKind kind) const {
    DeviceState& s = win_.state();
    switch (kind) {
    case RecordKind::Info: return &s.Info;
    case RecordKind::Config: return &s.Config;
    case RecordKind::Expert: return &s.Expert;
    case RecordKind::ExpertWeather: return &s.ExpertWeather;
    default: return nullptr;
    }
}

int64_t FieldBinding::read(const Bound& b) const {
    const void* r = record(b.row.record);
    return r ? readField(r, *b.desc, b.index) : 0;
}

void FieldBinding::store(const Bound& b, int64_t v) {
    if (void* r = record(b.row.record)) writeField(r, *b.desc, b.index, v);
}

void FieldBinding::showPartner(const Bound& b, int64_t v, bool force) {
    if (!b.partner || (!force && userChange(b.partner))) return;
    const int shown = int(std::clamp<int64_t>(v, b.partner->minimum(), b.partner->maximum()));
    if (b.partner->value() == shown) return; // the poll's refreshes mostly find it right
    const QSignalBlocker block(b.partner);
    b.partner->setValue(shown);
}

void FieldBinding::showControl(const Bound& b, bool force) {
    const int64_t v = read(b);
    showPartner(b, v, force);
    if (!force && userChange(b.control)) return;
    const QSignalBlocker block(b.control);
    if (auto* e = qobject_cast<QLineEdit*>(b.control)) {
        // Setting even the same text resets the cursor and relays the edit out.
        if (const QString text = fieldText(b.row.conv, v, win_.state().Config); e->text() != text) e->setText(text);
        markUnparsed(e, false);
    } else if (auto* btn = qobject_cast<QAbstractButton*>(b.control)) {
        bool on = false;
        switch (b.row.conv) {
        case Conv::FlagBit: on = (v & b.row.value) != 0; break;
        case Conv::FlagBitClear: on = (v & b.row.value) == 0; break;
        default: on = v == b.row.value; break;
        }
        if (on || !btn->autoExclusive()) {
            btn->setChecked(on);
        } else if (btn->isChecked()) {
            // A value that no sibling holds selects none of them.
            btn->setAutoExclusive(false);
            btn->setChecked(false);
            btn->setAutoExclusive(true);
        }
        if (on && b.extras.raiseOnlyFocused && b.hook) b.hook(b.index);
    } else if (auto* combo = qobject_cast<QComboBox*>(b.control)) {
        // An open list keeps what the user is choosing from.
        if (!(combo->view() && combo->view()->isVisible()) && combo->currentIndex() != int(v))
            combo->setCurrentIndex(int(v));
    } else if (auto* s = qobject_cast<QAbstractSlider*>(b.control)) {
        if (s->value() != int(v)) s->setValue(int(v));
    }
}

void FieldBinding::refresh(std::optional<RecordKind> kind) {
    for (const Bound& b : rows_)
        if (!kind || b.row.record == *kind) showControl(b, false);
}

void FieldBinding::show(RecordKind kind, const char* field, int index) {
    for (const Bound& b : rows_)
        if (b.row.record == kind && b.index == index && b.desc->key == field) showControl(b, true);
}

QWidget* FieldBinding::control(const char* field, int index) const {
    for (const Bound& b : rows_)
        if (b.index == index && b.desc->key == field) return b.control;
    return nullptr;
}

void FieldBinding::edited(const Bound& b, const QString& text) {
    auto* e = qobject_cast<QLineEdit*>(b.control);
    if (!userChange(e)) return;
    const auto v = parseFieldText(b.row.conv, text, win_.state().Config);
    markUnparsed(e, !v);
    if (!v) return;
    store(b, *v);
    showPartner(b, *v, true); // the typed value, held to the bar's range (the field may wrap it)
    if (b.hook) b.hook(b.index);
    if (b.extras.accept && !b.extras.accept(b.index)) return;
    win_.raiseRequest(b.row.request);
}

void FieldBinding::slid(const Bound& b, QAbstractSlider* s, int position) {
    if (!userChange(s)) return;
    if (b.extras.clampBar) {
        const int held = b.extras.clampBar(b.index, position);
        if (held != position) {
            const QSignalBlocker block(s);
            s->setValue(held);
            position = held;
        }
    }
    if (position == read(b)) return;
    store(b, position);
    if (b.control != s) {
        const QSignalBlocker block(b.control);
        if (auto* e = qobject_cast<QLineEdit*>(b.control)) {
            e->setText(fieldText(b.row.conv, read(b), win_.state().Config));
            markUnparsed(e, false);
        }
    }
    if (b.hook) b.hook(b.index);
    win_.raiseRequest(b.row.request);
}

void FieldBinding::clicked(const Bound& b, bool checked) {
    int64_t v = read(b);
    switch (b.row.conv) {
    case Conv::FlagBit: v = checked ? (v | b.row.value) : (v & ~int64_t(b.row.value)); break;
    case Conv::FlagBitClear:
        if (!checked) return;
        v &= ~int64_t(b.row.value);
        break;
    case Conv::Radio:
        if (!checked) return;
        v = b.row.value;
        break;
    default:
        if (auto* combo = qobject_cast<QComboBox*>(b.control)) v = combo->currentIndex();
        break;
    }
    store(b, v);
    if (b.hook) b.hook(b.index);
    if (b.extras.raiseOnlyFocused && !userChange(b.control)) return;
    win_.raiseRequest(b.row.request);
}

} // namespace quenda

#include "pages/channel_names.h"

#include "lang/apply_language.h"
#include "lang/texts.h"
#include "link/device_state.h"
#include "pages/page.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableWidget>
#include <QVariant>

#include <array>

namespace quenda {

namespace {
struct ColorEntry {
    const char* key;
    QRgb color;
};
constexpr std::array<ColorEntry, kColorNames> kColors = {{
    {"ColorUnnamed", 0xFFFFFFFF},
    {"ColorWhite", 0xFFFFFFFF},
    {"ColorRed", 0xFFFF8080},
    {"ColorGreen", 0xFF80FF80},
    {"ColorBlue", 0xFF8080FF},
    {"ColorUV", 0xFFC080FF},
    {"ColorMoonLight", 0xFFFFFFFF},
    {"ColorColdWhite", 0xFFF0F0FF},
    {"ColorWarmWhite", 0xFFFFFFE0},
    {"ColorYellow", 0xFFFFFF00},
    {"ColorPurple", 0xFFFF80C0},
    {"ColorRoyalBlue", 0xFFA080FF},
    {"ColorCyan", 0xFF80FFFF},
    {"ColorViolet", 0xFFC080FF},
    {"ColorOrange", 0xFFFFC080},
    {"ColorDeepRed", 0xFFC08080},
}};

bool droppedDown(const QComboBox* cmb) {
    return cmb->view() && cmb->view()->isVisible();
}

// The edit boxes of the other pages whose row label names the channel.
constexpr const char* kLabelledRows[] = {"edtMoon", "edtBalance", "edtWeatherDelay"};
// Edits that only take the channel's colour.
constexpr const char* kColouredRows[] = {"edt", "edtLightningMask"};
// The captions last spread, kept on the window.
constexpr char kSpreadNames[] = "quendaChannelCaptions";
// The captions of the last pass that reached every control (no list was open).
constexpr char kShownNames[] = "quendaChannelCaptionsShown";

QStringList captionsOf(const DeviceState& state) {
    QStringList captions;
    for (int n = 0; n < kChannels; ++n)
        captions << ChannelCaption(n, state.Config.ColorName[n]);
    return captions;
}
} // namespace

QString ColorName(int index) {
    const bool known = index >= 0 && index < kColorNames;
    return Msg(QString::fromLatin1(kColors[known ? index : 0].key));
}

QRgb ChannelPalette(int index) {
    const bool known = index >= 0 && index < kColorNames;
    return kColors[known ? index : 0].color;
}

QString ChannelCaption(int channel, int colorIndex) {
    return ChannelLetter(channel) + QStringLiteral(": ") + ColorName(colorIndex);
}

void SetChannelBackground(QWidget* control, QRgb color) {
    if (!control) return;
    QPalette pal = control->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Base, QColor::fromRgba(color));
        // Every palette colour is light; keep the digits dark on it in any desktop theme.
        pal.setColor(group, QPalette::Text, Qt::black);
    }
    // A disabled box must look disabled: the theme's disabled colours, not the channel's.
    const QPalette theme = control->style()->standardPalette();
    pal.setColor(QPalette::Disabled, QPalette::Base, theme.color(QPalette::Disabled, QPalette::Window));
    pal.setColor(QPalette::Disabled, QPalette::Text, theme.color(QPalette::Disabled, QPalette::Text));
    // The same palette set again still relays and repaints the box: the names are spread twice a second.
    if (control->testAttribute(Qt::WA_SetPalette) && pal == control->palette()) return;
    control->setPalette(pal);
}

void ShowChannelNames(QWidget* window, const DeviceState& state) {
    if (!window) return;
    // One walk over the window instead of one search per channel and control.
    QHash<QString, QWidget*> named;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (const QString name = w->objectName(); !name.isEmpty() && !named.contains(name)) named.insert(name, w);
    auto find = [&](const QString& name) { return named.value(name); };

    const QStringList captions = captionsOf(state);
    window->setProperty(kShownNames, QVariant());

    auto* visualize = qobject_cast<QComboBox*>(find(QStringLiteral("cmbVisualize")));
    // Refilling an open list would pull the choice from under the user; the same list is kept.
    if (visualize && droppedDown(visualize)) return;
    bool complete = true;
    if (visualize) {
        bool same = visualize->count() == captions.size();
        for (int i = 0; same && i < captions.size(); ++i)
            same = visualize->itemText(i) == captions[i];
        if (!same) {
            const QSignalBlocker block(visualize);
            visualize->clear();
            visualize->addItems(captions);
        }
    }
    auto* grid = qobject_cast<QTableWidget*>(find(QStringLiteral("sgSchedule")));
    bool gridChanged = false;

    for (int n = 0; n < kChannels; ++n) {
        const int c = state.Config.ColorName[n];
        const QRgb k = ChannelPalette(c);
        const QString suffix = QString::number(n);

        if (auto* cmb = qobject_cast<QComboBox*>(find(QStringLiteral("cmbName") + suffix))) {
            if (droppedDown(cmb)) {
                complete = false;
            } else {
                const QSignalBlocker block(cmb);
                cmb->setCurrentIndex(c < cmb->count() ? c : 0);
            }
        }

        const QString& text = captions[n];
        if (grid && grid->columnCount() > n + 2) {
            QTableWidgetItem* head = grid->horizontalHeaderItem(n + 2);
            if (!head) {
                head = new QTableWidgetItem;
                grid->setHorizontalHeaderItem(n + 2, head);
            }
            if (head->text() != text) {
                head->setText(text);
                gridChanged = true;
            }
        }

        for (const char* prefix : kLabelledRows) {
            QWidget* edit = find(QString::fromLatin1(prefix) + suffix);
            if (!edit) continue;
            if (QLabel* label = AttachedLabel(edit)) label->setText(text);
            SetChannelBackground(edit, k);
        }
        for (const char* prefix : kColouredRows)
            SetChannelBackground(find(QString::fromLatin1(prefix) + suffix), k);
    }
    // The grid paints channel cells in the channel's colour.
    if (grid && gridChanged) grid->viewport()->update();
    if (complete) window->setProperty(kShownNames, QVariant(captions));

    // The pages redraw what the names colour only when a name changed.
    const QVariant spread = QVariant(captions);
    if (window->property(kSpreadNames) == spread) return;
    window->setProperty(kSpreadNames, spread);
    for (Page* page : window->findChildren<Page*>())
        page->channelNamesChanged();
}

void RefreshChannelNames(QWidget* window, const DeviceState& state) {
    if (window && window->property(kShownNames) == QVariant(captionsOf(state))) return;
    ShowChannelNames(window, state);
}

} // namespace quenda

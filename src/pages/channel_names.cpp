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
    control->setPalette(pal);
}

void ShowChannelNames(QWidget* window, const DeviceState& state) {
    if (!window) return;
    auto* visualize = window->findChild<QComboBox*>(QStringLiteral("cmbVisualize"));
    // Refilling an open list would pull the choice from under the user.
    if (visualize && droppedDown(visualize)) return;
    if (visualize) {
        const QSignalBlocker block(visualize);
        visualize->clear();
    }
    auto* grid = window->findChild<QTableWidget*>(QStringLiteral("sgSchedule"));

    for (int n = 0; n < kChannels; ++n) {
        const int c = state.Config.ColorName[n];
        const QRgb k = ChannelPalette(c);
        const QString suffix = QString::number(n);

        if (auto* cmb = window->findChild<QComboBox*>(QStringLiteral("cmbName") + suffix);
            cmb && !droppedDown(cmb)) {
            const QSignalBlocker block(cmb);
            cmb->setCurrentIndex(c < cmb->count() ? c : 0);
        }

        const QString text = ChannelCaption(n, c);
        if (grid && grid->columnCount() > n + 2) {
            QTableWidgetItem* head = grid->horizontalHeaderItem(n + 2);
            if (!head) {
                head = new QTableWidgetItem;
                grid->setHorizontalHeaderItem(n + 2, head);
            }
            head->setText(text);
        }
        if (visualize) {
            const QSignalBlocker block(visualize);
            visualize->addItem(text);
        }

        for (const char* prefix : kLabelledRows) {
            auto* edit = window->findChild<QWidget*>(QString::fromLatin1(prefix) + suffix);
            if (!edit) continue;
            if (QLabel* label = AttachedLabel(edit)) label->setText(text);
            SetChannelBackground(edit, k);
        }
        for (const char* prefix : kColouredRows)
            SetChannelBackground(window->findChild<QWidget*>(QString::fromLatin1(prefix) + suffix), k);
    }
    // The grid paints channel cells in the channel's colour.
    if (grid) grid->viewport()->update();

    for (Page* page : window->findChildren<Page*>())
        page->channelNamesChanged();
}

} // namespace quenda

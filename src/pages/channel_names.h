// Channel colour names: the sixteen names a channel can carry, their display
// colours, and the routine that spreads them over every page of the window.
#pragma once

#include <QRgb>
#include <QString>

class QWidget;

namespace quenda {

class DeviceState;

inline constexpr int kColorNames = 16;

// The language text of a colour name; any index outside 0..15 is "Unnamed".
QString ColorName(int index);

// Display colour of a colour name (opaque). An index the table does not hold
// shows the colour of index 0.
QRgb ChannelPalette(int index);

// "A: PureWhite" for channel 0 named 1.
QString ChannelCaption(int channel, int colorIndex);

// Gives a control the background colour of its channel.
void SetChannelBackground(QWidget* control, QRgb color);

// Spreads the colour names of TConfig.ColorName over the window: selects them in
// the cmbName lists, writes the schedule grid's channel headers and the channel
// list of the visualisation, labels and colours the per-channel rows of the
// other pages, then tells every page. Controls the window lacks are skipped.
void ShowChannelNames(QWidget* window, const DeviceState& state);
// The same, skipped when the last pass reached every control with these names: the
// configuration poll calls it twice a second, and the pass walks the whole window.
void RefreshChannelNames(QWidget* window, const DeviceState& state);

} // namespace quenda

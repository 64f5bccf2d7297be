#include "schedule/schedule_page.h"

#include "astro/astro.h"
#include "pages/entry_check.h"
#include "pages/number_text.h"
#include "pages/window_services.h"
#include "lang/texts.h"
#include "link/device_codes.h"
#include "pages/channel_names.h"
#include "schedule/schedule_grid.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <cmath>

namespace quenda {

namespace {
const std::vector<int> kColumnWidths = {30, 46, 46, 46, 46, 46, 46, 46, 46,
                                        46, 46, 46, 46, 46, 50, 50, 50, 50};

// A decimal integer, sign allowed; anything else (fractions, exponents, blanks) is none.
std::optional<int64_t> parseInteger(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok) return std::nullopt;
    return v;
}

QString altitudeText(int16_t alt) {
    const double deg = StoredAltitudeDegrees(alt);
    return std::isfinite(deg) ? formatNumber(deg, "0.##") : QStringLiteral("0");
}

bool isSwitchColumn(int col) {
    return col >= SchedulePage::kColDisplay && col <= SchedulePage::kColStorms;
}
bool isChannelColumn(int col) {
    return col >= SchedulePage::kColFirstChannel && col < SchedulePage::kColDisplay;
}
uint8_t switchBit(int col) {
    return static_cast<uint8_t>(SchedulePage::kSwitchDisplay << (col - SchedulePage::kColDisplay));
}
} // namespace

SchedulePage::SchedulePage(const QString& objectName, const QString& caption, WindowServices& win,
                           QWidget* parent)
    : Page(objectName, caption, win, parent) {
    auto* layout = new QHBoxLayout(this);

    sgSchedule_ = new ScheduleGrid(this);
    sgSchedule_->setObjectName(QStringLiteral("sgSchedule"));
    sgSchedule_->setColumnCount(kColumns);
    for (int c = 0; c < kColumns; ++c)
        sgSchedule_->setHorizontalHeaderItem(c, new QTableWidgetItem);
    sgSchedule_->setMinimumColumnWidths(kColumnWidths);
    sgSchedule_->setCellPainter([this](QPainter* p, const QStyleOptionViewItem& o, int col, int row) {
        return sgScheduleDrawCell(p, o, col, row);
    });
    sgSchedule_->setCellCheck([this](int col, int, const QString& text) { return cellParses(col, text); });
    layout->addWidget(sgSchedule_, 1);

    memDescription_ = new QPlainTextEdit(this);
    memDescription_->setObjectName(QStringLiteral("memDescription"));
    memDescription_->setReadOnly(true);
    memDescription_->setFixedWidth(100);
    memDescription_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(memDescription_);

    pumCol_ = new QMenu(this);
    pumCol_->setObjectName(QStringLiteral("pumCol"));
    mnuCopyCol_ = pumCol_->addAction(QStringLiteral("Copy content of this column"));
    mnuCopyCol_->setObjectName(QStringLiteral("mnuCopyCol"));
    mnuPasteCol_ = pumCol_->addAction(QStringLiteral("Paste into this column"));
    mnuPasteCol_->setObjectName(QStringLiteral("mnuPasteCol"));
    mnuSwapCol_ = pumCol_->addAction(QStringLiteral("Swap this and copied column"));
    mnuSwapCol_->setObjectName(QStringLiteral("mnuSwapCol"));
    connect(pumCol_, &QMenu::aboutToShow, this, &SchedulePage::pumColPopup);
    connect(mnuCopyCol_, &QAction::triggered, this, &SchedulePage::mnuCopyColClick);
    connect(mnuPasteCol_, &QAction::triggered, this, &SchedulePage::mnuPasteColClick);
    connect(mnuSwapCol_, &QAction::triggered, this, &SchedulePage::mnuSwapColClick);

    connect(sgSchedule_, &ScheduleGrid::editTextChanged, this, &SchedulePage::sgScheduleSetEditText);
    connect(sgSchedule_, &ScheduleGrid::mouseDown, this, &SchedulePage::sgScheduleMouseDown);
    connect(sgSchedule_, &ScheduleGrid::rowMoved, this, &SchedulePage::sgScheduleRowMoved);
    connect(sgSchedule_, &ScheduleGrid::cellLeft, this, &SchedulePage::sgScheduleCellLeft);

    setHeaders();
    ensureCells(1); // empty until the first download
}

bool SchedulePage::geoMode() const {
    return isMode(win_.state().Config.Mode, Mode::Geo);
}

void SchedulePage::setTimeHeader() {
    sgSchedule_->setCellText(kColTime, 0,
                             Msg(geoMode() ? QStringLiteral("Altitude") : QStringLiteral("Time")));
}

void SchedulePage::setHeaders() {
    sgSchedule_->setCellText(kColLine, 0, Msg(QStringLiteral("Line")));
    setTimeHeader();
    sgSchedule_->setCellText(kColDisplay, 0, Msg(QStringLiteral("Display")));
    sgSchedule_->setCellText(kColClouds, 0, Msg(QStringLiteral("Clouds")));
    sgSchedule_->setCellText(kColStorms, 0, Msg(QStringLiteral("Storms")));
    sgSchedule_->setCellText(kColTimer, 0, Msg(QStringLiteral("Timer")));
}

void SchedulePage::languageApplied() {
    setHeaders();
}

bool SchedulePage::sgScheduleSelectCell(int col, int row) {
    (void)row;
    return !isSwitchColumn(col);
}

void SchedulePage::ensureCells(int rows) {
    const int old = sgSchedule_->rowCount();
    sgSchedule_->setRowCount(rows);
    for (int r = old; r < rows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            sgSchedule_->setItem(r, c, new QTableWidgetItem);
        setLineEditable(r + 1, false);
    }
}

void SchedulePage::setLineEditable(int row, bool editable) {
    for (int c = 0; c < kColumns; ++c) {
        QTableWidgetItem* it = sgSchedule_->item(row - 1, c);
        if (!it) continue;
        const bool typed = editable && c != kColLine && sgScheduleSelectCell(c, row);
        const Qt::ItemFlags flags =
            typed ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::ItemIsEnabled;
        if (it->flags() != flags) it->setFlags(flags);
    }
}

bool SchedulePage::lineKnown(int line) const {
    DeviceState& st = win_.state();
    return line >= 0 && line < int(st.Schedule.size()) && st.isRead(line);
}

bool SchedulePage::cellParses(int col, const QString& text) const {
    if (col == kColTime) {
        if (geoMode()) return parseDecimal(text).has_value();
        const int colon = int(text.indexOf(QLatin1Char(':')));
        if (colon < 0) return parseInteger(text).has_value();
        return parseInteger(text.left(colon)) && parseInteger(text.mid(colon + 1));
    }
    if (isChannelColumn(col)) return percentToLevel(text).has_value();
    if (col == kColTimer) return parseInteger(text).has_value();
    return true;
}

QString SchedulePage::storedText(int col, int row) const {
    const int n = row - 1;
    if (col == kColLine) return n >= 0 && n < int(win_.state().Schedule.size()) ? QString::number(n) : QString();
    if (!lineKnown(n)) return {};
    const TScheduleRow& s = win_.state().Schedule[std::size_t(n)];
    if (col == kColTime) return timeText(n);
    if (isChannelColumn(col)) return levelPercentText(s.Color16[col - kColFirstChannel]);
    if (isSwitchColumn(col)) return Msg((s.Switch & switchBit(col)) ? QStringLiteral("ON") : QStringLiteral("OFF"));
    if (col == kColTimer) return QString::number(s.Timer);
    return {};
}

QString SchedulePage::timeText(int line) const {
    const auto& s = win_.state().Schedule;
    if (line < 0 || line >= int(s.size())) return {};
    const TScheduleRow& row = s[std::size_t(line)];
    if (geoMode()) return altitudeText(row.Alt);
    return formatNumber(row.Hour, "00") + QLatin1Char(':') + formatNumber(row.Minute, "00");
}

void SchedulePage::ShowSchedule() {
    DeviceState& st = win_.state();
    setTimeHeader(); // the mode decides between time and altitude
    const int lines = int(st.Schedule.size());
    ensureCells(std::max(1, lines));
    sgSchedule_->setTag(st.Info.CurrentRow);

    // Lines not read yet (and the empty row of a schedule without lines) stay empty
    // and read-only. The cell being edited keeps what the user types.
    for (int row = 1; row <= sgSchedule_->rowCount(); ++row) {
        setLineEditable(row, lineKnown(row - 1));
        for (int col = 0; col < kColumns; ++col)
            if (!sgSchedule_->editing(col, row)) sgSchedule_->setCellText(col, row, storedText(col, row));
    }
    sgSchedule_->viewport()->update();

    // The day curves show the same lines.
    if (auto* visualize = window()->findChild<Page*>(QStringLiteral("tsVisualize")))
        visualize->showSchedule();
}

void SchedulePage::sgScheduleCellLeft(int col, int row) {
    sgSchedule_->setCellText(col, row, storedText(col, row));
}

void SchedulePage::StoreScheduleLine(int line) {
    DeviceState& st = win_.state();
    if (!lineKnown(line) || line >= sgSchedule_->rowCount()) return;
    const int row = line + 1;
    TScheduleRow& s = st.Schedule[std::size_t(line)];
    auto cell = [&](int col) { return sgSchedule_->cellText(col, row); };

    const QString time = cell(kColTime);
    if (geoMode()) {
        // The cell shows the altitude to 0.01 degrees; rewriting an unchanged cell would
        // shift the stored sine, so only a changed text is stored.
        if (time != altitudeText(s.Alt)) {
            if (const auto deg = parseDecimal(time))
                s.Alt = static_cast<int16_t>(cut16(roundHalfEven(StoredAltitudeSine(*deg))));
        }
    } else if (const int colon = time.indexOf(QLatin1Char(':')); colon >= 0) {
        if (const auto h = parseInteger(time.left(colon))) s.Hour = static_cast<int8_t>(cut8(*h));
        if (const auto m = parseInteger(time.mid(colon + 1))) s.Minute = static_cast<int8_t>(cut8(*m));
    } else if (const auto m = parseInteger(time)) {
        s.Minute = static_cast<int8_t>(cut8(*m));
    }

    for (int ch = 0; ch < kChannels; ++ch)
        if (const auto v = percentToLevel(cell(kColFirstChannel + ch)))
            s.Color16[ch] = static_cast<int16_t>(cut16(*v));

    const QString off = Msg(QStringLiteral("OFF"));
    for (int col = kColDisplay; col <= kColStorms; ++col) {
        if (cell(col) == off)
            s.Switch = static_cast<uint8_t>(s.Switch & ~switchBit(col));
        else
            s.Switch = static_cast<uint8_t>(s.Switch | switchBit(col));
    }

    if (const auto t = parseInteger(cell(kColTimer))) s.Timer = static_cast<int16_t>(cut16(*t));

    st.markRowsForUpload(line, line);
}

// ---- Grid events ------------------------------------------------------------------

void SchedulePage::sgScheduleSetEditText(int col, int row, const QString& value) {
    (void)col;
    if (value.isEmpty()) return; // an emptied cell waits for the next keystroke
    StoreScheduleLine(row - 1);
}

void SchedulePage::sgScheduleMouseDown(Qt::MouseButton button, int col, int row, const QPoint& globalPos) {
    if (button == Qt::LeftButton) {
        if (row > 0 && isSwitchColumn(col) && lineKnown(row - 1)) {
            const QString on = Msg(QStringLiteral("ON"));
            sgSchedule_->setCellText(col, row,
                                     sgSchedule_->cellText(col, row) == on ? Msg(QStringLiteral("OFF")) : on);
            StoreScheduleLine(row - 1);
        }
        return;
    }
    if (button != Qt::RightButton) return;
    targetChannel_ = col - kColFirstChannel;
    if (row == 0 && isChannelColumn(col)) {
        pumCol_->popup(globalPos);
        return;
    }
    DeviceState& st = win_.state();
    // Only an existing line can become the device's current line.
    if (row > 0 && col == kColLine && row - 1 < int(st.Schedule.size())) {
        st.Info.CurrentRow = static_cast<int8_t>(cut8(row - 1));
        sgSchedule_->setTag(row - 1);
        sgSchedule_->viewport()->update();
        win_.raiseRequest(rqSetRow);
    }
}

void SchedulePage::sgScheduleRowMoved(int fromRow, int toRow) {
    auto& lines = win_.state().Schedule;
    const int from = fromRow - 1;
    const int to = toRow - 1;
    const int count = int(lines.size());
    for (int row = std::min(fromRow, toRow); row <= std::max(fromRow, toRow); ++row) {
        if (!lineKnown(row - 1)) { // a line not read is never moved nor uploaded
            ShowSchedule();
            return;
        }
    }
    // Move the line itself first, so a field whose cell does not parse keeps the moved
    // line's value rather than that of the line which stood there before.
    if (from >= 0 && to >= 0 && from < count && to < count) {
        const auto b = lines.begin();
        if (from < to)
            std::rotate(b + from, b + from + 1, b + to + 1);
        else
            std::rotate(b + to, b + from, b + from + 1);
    }
    for (int row = std::min(fromRow, toRow); row <= std::max(fromRow, toRow); ++row) {
        sgSchedule_->setCellText(kColLine, row, QString::number(row - 1));
        StoreScheduleLine(row - 1);
    }
}

bool SchedulePage::sgScheduleDrawCell(QPainter* painter, const QStyleOptionViewItem& option, int col,
                                      int row) {
    if (row <= 0 || col < 0 || col >= kColumns) return false;
    if (option.state & (QStyle::State_Selected | QStyle::State_HasFocus)) return false;
    const QPalette& pal = sgSchedule_->palette();
    if (col != kColLine && !lineKnown(row - 1)) { // nothing to show or edit: grey
        painter->fillRect(option.rect, pal.color(QPalette::Disabled, QPalette::Button));
        return true;
    }
    if (col == kColTime) return false;
    const QString text = sgSchedule_->cellText(col, row);
    QColor back;
    QColor fore;
    if (col == kColLine) {
        const bool current = row == sgSchedule_->tag() + 1;
        back = pal.color(current ? QPalette::Highlight : QPalette::Button);
        fore = pal.color(current ? QPalette::HighlightedText : QPalette::ButtonText);
    } else if (isChannelColumn(col)) {
        back = QColor::fromRgba(ChannelPalette(win_.state().Config.ColorName[col - kColFirstChannel]));
        fore = Qt::black; // every channel colour is light
    } else {
        const bool off = text == Msg(QStringLiteral("OFF"));
        back = pal.color(off ? QPalette::Button : QPalette::Base);
        fore = pal.color(off ? QPalette::ButtonText : QPalette::Text);
    }
    painter->fillRect(option.rect, back);
    painter->setPen(fore);
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      text);
    return true;
}

// ---- Column pop-up ------------------------------------------------------------------

void SchedulePage::pumColPopup() {
    // A column is changed in every line, so it waits until every line was read.
    const bool copied = sourceChannel_ >= 0 && win_.state().allRead();
    mnuPasteCol_->setEnabled(copied);
    mnuSwapCol_->setEnabled(copied);
}

void SchedulePage::mnuCopyColClick() {
    sourceChannel_ = targetChannel_;
}

namespace {
bool validChannel(int c) {
    return c >= 0 && c < kChannels;
}
} // namespace

void SchedulePage::mnuPasteColClick() {
    if (!validChannel(sourceChannel_) || !validChannel(targetChannel_) || !win_.state().allRead()) return;
    DeviceState& st = win_.state();
    st.Config.ColorName[targetChannel_] = st.Config.ColorName[sourceChannel_];
    for (TScheduleRow& s : st.Schedule)
        s.Color16[targetChannel_] = s.Color16[sourceChannel_];
    columnsChanged();
}

void SchedulePage::mnuSwapColClick() {
    if (!validChannel(sourceChannel_) || !validChannel(targetChannel_) || !win_.state().allRead()) return;
    DeviceState& st = win_.state();
    std::swap(st.Config.ColorName[targetChannel_], st.Config.ColorName[sourceChannel_]);
    for (TScheduleRow& s : st.Schedule) {
        // Packed fields: by value, never by reference.
        const int16_t t = s.Color16[targetChannel_];
        s.Color16[targetChannel_] = s.Color16[sourceChannel_];
        s.Color16[sourceChannel_] = t;
    }
    columnsChanged();
}

void SchedulePage::columnsChanged() {
    DeviceState& st = win_.state();
    st.markRowsForUpload(0, int(st.Schedule.size()) - 1);
    win_.raiseRequest(rqSetConfig);
    ShowChannelNames(window(), st);
    ShowSchedule();
}

// ---- Record displays -------------------------------------------------------------

void SchedulePage::showDeviceInfo() {
    // The current-line marker follows the device.
    const int current = win_.state().Info.CurrentRow;
    if (current == sgSchedule_->tag()) return;
    sgSchedule_->setTag(current);
    sgSchedule_->viewport()->update();
}

} // namespace quenda

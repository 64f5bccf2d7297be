// The Schedule page: the daily schedule as an editable grid, one row per schedule
// line, written back into the local schedule as the user types and marked for upload.
#pragma once

#include "pages/page.h"

class QAction;
class QMenu;
class QPainter;
class QPlainTextEdit;
class QStyleOptionViewItem;

namespace quenda {

class ScheduleGrid;

class SchedulePage : public Page {
    Q_OBJECT
public:
    // Grid columns.
    static constexpr int kColLine = 0;
    static constexpr int kColTime = 1;
    static constexpr int kColFirstChannel = 2;
    static constexpr int kColDisplay = 14;
    static constexpr int kColClouds = 15;
    static constexpr int kColStorms = 16;
    static constexpr int kColTimer = 17;
    static constexpr int kColumns = 18;
    // Switch bits of the three on/off columns.
    static constexpr uint8_t kSwitchDisplay = 0x20;
    static constexpr uint8_t kSwitchClouds = 0x40;
    static constexpr uint8_t kSwitchStorms = 0x80;

    SchedulePage(const QString& objectName, const QString& caption, WindowServices& win,
                 QWidget* parent = nullptr);

    ScheduleGrid* grid() const { return sgSchedule_; }
    QMenu* columnMenu() const { return pumCol_; }
    int targetChannel() const { return targetChannel_; }
    int sourceChannel() const { return sourceChannel_; }

    // Fills the whole grid from the schedule.
    void ShowSchedule();
    // Reads grid row line + 1 back into schedule line `line` and marks it for upload.
    void StoreScheduleLine(int line);
    // The column-1 text of a line in the current mode.
    QString timeText(int line) const;
    // A line that exists and was read from the device; only such lines are shown and
    // can be edited.
    bool lineKnown(int line) const;
    // Whether a typed text of the cell parses in full.
    bool cellParses(int col, const QString& text) const;

    void showSchedule() override { ShowSchedule(); }
    void pageShown() override { ShowSchedule(); }
    void showDeviceInfo() override;
    void languageApplied() override;

public slots:
    void sgScheduleSetEditText(int col, int row, const QString& value);
    void sgScheduleMouseDown(Qt::MouseButton button, int col, int row, const QPoint& globalPos);
    void sgScheduleRowMoved(int fromRow, int toRow);
    // The user left the cell: it shows what was stored.
    void sgScheduleCellLeft(int col, int row);
    void pumColPopup();
    void mnuCopyColClick();
    void mnuPasteColClick();
    void mnuSwapColClick();

public:
    // Whether a cell may hold the cursor (and so get the editor).
    static bool sgScheduleSelectCell(int col, int row);
    // True when it filled the whole cell.
    bool sgScheduleDrawCell(QPainter* painter, const QStyleOptionViewItem& option, int col, int row);

private:
    bool geoMode() const;
    void setTimeHeader();
    void setHeaders();
    void ensureCells(int rows);
    void setLineEditable(int row, bool editable);
    // The stored text of a cell (row counted with the header).
    QString storedText(int col, int row) const;
    // Copies or swaps channel columns; the common tail of paste and swap.
    void columnsChanged();

    ScheduleGrid* sgSchedule_ = nullptr;
    QPlainTextEdit* memDescription_ = nullptr;
    QMenu* pumCol_ = nullptr;
    QAction* mnuCopyCol_ = nullptr;
    QAction* mnuPasteCol_ = nullptr;
    QAction* mnuSwapCol_ = nullptr;
    int targetChannel_ = -1; // column of the last right click, minus 2
    int sourceChannel_ = -1; // the copied channel
};

} // namespace quenda

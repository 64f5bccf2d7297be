// An editable string grid: one fixed header row (the horizontal header), one fixed
// first column that serves as the handle for moving rows, owner-drawn cells, and a
// cell editor that reports every keystroke.
//
// Rows are counted as the user sees them: row 0 is the header row, row r > 0 is the
// table's row r - 1. Cells whose item is not selectable can never hold the cursor
// (clicks and Tab pass over them) and never get the editor.
#pragma once

#include <QPersistentModelIndex>
#include <QTableWidget>
#include <functional>
#include <vector>

class QStyleOptionViewItem;

namespace quenda {

class ScheduleGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit ScheduleGrid(QWidget* parent = nullptr);

    // Draws a cell (row counted with the header); true when it covered the whole cell,
    // so the grid's own drawing is skipped, else the grid draws the cell itself.
    using CellPainter = std::function<bool(QPainter*, const QStyleOptionViewItem&, int col, int row)>;
    void setCellPainter(CellPainter painter) { painter_ = std::move(painter); }

    // The text of a cell, row counted with the header (row 0 reads the header).
    QString cellText(int col, int row) const;
    void setCellText(int col, int row, const QString& text);
    // Column and row (with the header) under a point of the viewport; -1 where none.
    void mouseToCell(const QPoint& viewportPos, int* col, int* row) const;
    QRect cellRectOf(int col, int row) const; // viewport coordinates, data rows only

    // Column widths never go below these; a column's header text widens it to fit,
    // and shows as the header's tool tip.
    void setMinimumColumnWidths(std::vector<int> widths);

    // A line number kept with the grid (the schedule's current line).
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }

    // While a row is being dragged: its row and the row it would land on (with the header).
    bool movingRow() const { return dragFrom_ > 0; }

    // Called by the cell editor for each change typed.
    void editorTextEdited(const QModelIndex& index, const QString& text);

    // Decides whether a typed cell text parses; the editor is marked while it does not.
    using CellCheck = std::function<bool(int col, int row, const QString& text)>;
    void setCellCheck(CellCheck check) { check_ = std::move(check); }
    // True while the cell editor is open on this cell (row counted with the header).
    bool editing(int col, int row) const;

signals:
    // The cell editor's text changed by typing (row counted with the header).
    void editTextChanged(int col, int row, const QString& text);
    // A mouse button went down on the grid (row 0: the header row).
    void mouseDown(Qt::MouseButton button, int col, int row, const QPoint& globalPos);
    // The user dragged a row by its first column to another position.
    void rowMoved(int fromRow, int toRow);
    // The cell editor closed on this cell (row counted with the header).
    void cellLeft(int col, int row);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Typing never jumps to another line by its text.
    void keyboardSearch(const QString&) override {}
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class ScheduleCellDelegate;
    bool selectable(int tableRow, int col) const;
    // The nearest selectable cell from (row, col) going in steps of +1 or -1 through the
    // cells in reading order; wraps into other rows only when asked.
    QModelIndex nextSelectable(int tableRow, int col, int step, bool wrapRows) const;
    void moveRowTexts(int fromTableRow, int toTableRow);
    int dragTargetAt(const QPoint& viewportPos) const;
    void fitHeaders(int first, int last);

    CellPainter painter_;
    CellCheck check_;
    std::vector<int> minWidths_;
    QPersistentModelIndex editing_; // the cell whose editor is open
    int tag_ = -1;
    int dragFrom_ = 0; // rows with the header; 0: no row is being moved
    int dragTo_ = 0;
};

} // namespace quenda

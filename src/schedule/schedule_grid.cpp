#include "schedule/schedule_grid.h"

#include "pages/entry_check.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace quenda {

// The cell editor: a frameless line edit that reports each change typed, and the
// owner drawing on top of the default cell drawing.
class ScheduleCellDelegate : public QStyledItemDelegate {
public:
    explicit ScheduleCellDelegate(ScheduleGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        const QPersistentModelIndex cell(index);
        ScheduleGrid* grid = grid_;
        grid->editing_ = cell;
        connect(edit, &QLineEdit::textEdited, grid, [grid, cell, edit](const QString& text) {
            if (!cell.isValid()) return;
            grid->editorTextEdited(cell, text);
            if (grid->check_) markUnparsed(edit, !grid->check_(cell.column(), cell.row() + 1, text));
        });
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        // Each keystroke is written back into the cell; re-setting the same text would
        // move the cursor to the end under the user's fingers.
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (edit && edit->text() == index.data(Qt::EditRole).toString()) return;
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        // The styled drawing lays out each cell's text: most of a full repaint, and
        // wasted under an owner drawing that fills the cell.
        if (grid_->painter_) {
            painter->save();
            const bool covered = grid_->painter_(painter, option, index.column(), index.row() + 1);
            painter->restore();
            if (covered) return;
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    ScheduleGrid* grid_;
};

ScheduleGrid::ScheduleGrid(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new ScheduleCellDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // The editor opens wherever the cursor goes, as if it were always shown.
    setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* head = horizontalHeader();
    head->setSectionsClickable(false);
    head->setHighlightSections(false);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    head->setMinimumSectionSize(8);
    head->viewport()->installEventFilter(this);
    connect(model(), &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation o, int first, int last) {
                if (o == Qt::Horizontal) fitHeaders(first, last);
            });
}

void ScheduleGrid::setMinimumColumnWidths(std::vector<int> widths) {
    minWidths_ = std::move(widths);
    fitHeaders(0, columnCount() - 1);
}

void ScheduleGrid::fitHeaders(int first, int last) {
    for (int c = std::max(first, 0); c <= last && c < columnCount(); ++c) {
        QTableWidgetItem* it = horizontalHeaderItem(c);
        const int least = c < int(minWidths_.size()) ? minWidths_[std::size_t(c)] : 0;
        if (!it) {
            if (least > 0) setColumnWidth(c, least);
            continue;
        }
        if (it->toolTip() != it->text()) it->setToolTip(it->text()); // comes back here, unchanged
        const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()) + 2;
        const int fit = horizontalHeader()->fontMetrics().horizontalAdvance(it->text()) + margin;
        setColumnWidth(c, std::max(least, fit));
    }
}

QString ScheduleGrid::cellText(int col, int row) const {
    const QTableWidgetItem* it = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    return it ? it->text() : QString();
}

void ScheduleGrid::setCellText(int col, int row, const QString& text) {
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount()) return;
    if (row == 0) {
        QTableWidgetItem* it = horizontalHeaderItem(col);
        if (!it) setHorizontalHeaderItem(col, it = new QTableWidgetItem);
        it->setText(text);
        return;
    }
    QTableWidgetItem* it = item(row - 1, col);
    if (!it) setItem(row - 1, col, it = new QTableWidgetItem);
    if (it->text() != text) it->setText(text);
}

void ScheduleGrid::mouseToCell(const QPoint& pos, int* col, int* row) const {
    const int c = columnAt(pos.x());
    const int r = rowAt(pos.y());
    *col = c;
    *row = r < 0 ? -1 : r + 1;
}

QRect ScheduleGrid::cellRectOf(int col, int row) const {
    if (row <= 0) return {};
    return visualRect(model()->index(row - 1, col));
}

bool ScheduleGrid::selectable(int tableRow, int col) const {
    const QTableWidgetItem* it = item(tableRow, col);
    return it && (it->flags() & Qt::ItemIsSelectable);
}

QModelIndex ScheduleGrid::nextSelectable(int tableRow, int col, int step, bool wrapRows) const {
    const int cols = columnCount();
    while (tableRow >= 0 && tableRow < rowCount()) {
        for (; col >= 0 && col < cols; col += step)
            if (selectable(tableRow, col)) return model()->index(tableRow, col);
        if (!wrapRows) break;
        tableRow += step;
        col = step > 0 ? 0 : cols - 1;
    }
    return {};
}

QModelIndex ScheduleGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex cur = currentIndex();
    if (!cur.isValid()) {
        const QModelIndex first = nextSelectable(0, 0, 1, true);
        return first.isValid() ? first : QTableWidget::moveCursor(action, modifiers);
    }
    QModelIndex to;
    switch (action) {
    case MoveNext:
        to = nextSelectable(cur.row(), cur.column() + 1, 1, true);
        break;
    case MovePrevious:
        to = nextSelectable(cur.row(), cur.column() - 1, -1, true);
        break;
    case MoveRight:
        to = nextSelectable(cur.row(), cur.column() + 1, 1, false);
        break;
    case MoveLeft:
        to = nextSelectable(cur.row(), cur.column() - 1, -1, false);
        break;
    default:
        to = QTableWidget::moveCursor(action, modifiers);
        if (to.isValid() && !selectable(to.row(), to.column())) {
            QModelIndex right = nextSelectable(to.row(), to.column(), 1, false);
            to = right.isValid() ? right : nextSelectable(to.row(), to.column(), -1, false);
        }
        break;
    }
    return to.isValid() ? to : cur;
}

void ScheduleGrid::editorTextEdited(const QModelIndex& index, const QString& text) {
    setCellText(index.column(), index.row() + 1, text);
    emit editTextChanged(index.column(), index.row() + 1, text);
}

bool ScheduleGrid::editing(int col, int row) const {
    return editing_.isValid() && editing_.column() == col && editing_.row() == row - 1;
}

void ScheduleGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const QPersistentModelIndex left = editing_;
    editing_ = QPersistentModelIndex();
    QTableWidget::closeEditor(editor, hint);
    if (left.isValid()) emit cellLeft(left.column(), left.row() + 1);
}

void ScheduleGrid::mousePressEvent(QMouseEvent* e) {
    int col = -1, row = -1;
    const QPoint pos = e->position().toPoint();
    mouseToCell(pos, &col, &row);
    const QPoint global = e->globalPosition().toPoint();
    const bool onData = row > 0 && col >= 0;
    // Right clicks, and clicks on cells that cannot hold the cursor, leave the cursor alone.
    if (e->button() != Qt::LeftButton || (onData && !selectable(row - 1, col))) {
        setFocus(Qt::MouseFocusReason);
        if (e->button() == Qt::LeftButton && col == 0 && onData) dragFrom_ = dragTo_ = row;
        e->accept();
        emit mouseDown(e->button(), col, row, global);
        return;
    }
    const QModelIndex before = currentIndex();
    QTableWidget::mousePressEvent(e);
    // A click on the current cell edits it at once, not after the double-click delay in
    // which the first keystroke would go elsewhere.
    const QModelIndex at = indexAt(pos);
    if (at.isValid() && at == before && at == currentIndex() && !editing_.isValid() &&
        (at.flags() & Qt::ItemIsEditable))
        edit(at);
    emit mouseDown(e->button(), col, row, global);
}

void ScheduleGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    int col = -1, row = -1;
    mouseToCell(e->position().toPoint(), &col, &row);
    if (row > 0 && col >= 0 && !selectable(row - 1, col)) {
        // The second press of a double click has already arrived as a press of its own.
        e->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(e);
}

int ScheduleGrid::dragTargetAt(const QPoint& pos) const {
    if (rowCount() == 0) return 0;
    int r = rowAt(pos.y());
    if (r < 0) r = pos.y() < 0 ? rowAt(0) : rowCount() - 1;
    return std::max(r, 0) + 1;
}

void ScheduleGrid::mouseMoveEvent(QMouseEvent* e) {
    if (!movingRow()) {
        QTableWidget::mouseMoveEvent(e);
        return;
    }
    const QPoint pos = e->position().toPoint();
    // Scroll while the row is held at the edges.
    const int edge = verticalHeader()->defaultSectionSize();
    if (pos.y() < edge)
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
    else if (pos.y() > viewport()->height() - edge)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
    dragTo_ = dragTargetAt(pos);
    viewport()->update();
    e->accept();
}

void ScheduleGrid::mouseReleaseEvent(QMouseEvent* e) {
    if (!movingRow()) {
        QTableWidget::mouseReleaseEvent(e);
        return;
    }
    const int from = dragFrom_;
    const int to = dragTo_;
    dragFrom_ = dragTo_ = 0;
    viewport()->update();
    e->accept();
    if (from == to || to <= 0 || to > rowCount()) return;
    moveRowTexts(from - 1, to - 1);
    emit rowMoved(from, to);
}

void ScheduleGrid::moveRowTexts(int from, int to) {
    const int lo = std::min(from, to);
    const int hi = std::max(from, to);
    std::vector<QStringList> texts;
    for (int r = lo; r <= hi; ++r) {
        QStringList row;
        for (int c = 0; c < columnCount(); ++c)
            row << cellText(c, r + 1);
        texts.push_back(row);
    }
    if (from < to)
        std::rotate(texts.begin(), texts.begin() + 1, texts.end());
    else
        std::rotate(texts.rbegin(), texts.rbegin() + 1, texts.rend());
    for (int r = lo; r <= hi; ++r)
        for (int c = 0; c < columnCount(); ++c)
            setCellText(c, r + 1, texts[std::size_t(r - lo)][c]);
}

void ScheduleGrid::paintEvent(QPaintEvent* e) {
    QTableWidget::paintEvent(e);
    if (!movingRow() || dragTo_ == dragFrom_) return;
    // Where the held row will land.
    const QRect target = visualRect(model()->index(dragTo_ - 1, 0));
    const int y = dragTo_ < dragFrom_ ? target.top() : target.bottom();
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Highlight), 3));
    p.drawLine(0, y, viewport()->width(), y);
}

bool ScheduleGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        const int col = horizontalHeader()->logicalIndexAt(me->position().toPoint());
        emit mouseDown(me->button(), col, 0, me->globalPosition().toPoint());
        // Left presses still resize columns; the right button belongs to the pop-up.
        return me->button() == Qt::RightButton;
    }
    return QTableWidget::eventFilter(watched, event);
}

} // namespace quenda

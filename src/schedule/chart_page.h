// The Chart page: the recorded samples as a picture filling the page; a click reads them
// again, and the right-click menu chooses the quantity the device records.
#pragma once

#include "pages/page.h"
#include "schedule/chart.h"

class QAction;
class QMenu;

namespace quenda {

// The drawing surface imgTemp: shows the last picture and reports clicks and resizes.
class ChartView : public QWidget {
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);
    void setPicture(ChartPicture picture);
    const ChartPicture& picture() const { return picture_; }
    // Hands the picture's memory back for the next drawing.
    QImage takeImage() { return std::move(picture_.image); }

signals:
    void clicked();
    void contextMenuAt(const QPoint& globalPos);
    void resized();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    ChartPicture picture_;
};

class ChartPage : public Page {
    Q_OBJECT
public:
    ChartPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    ChartView* view() const { return imgTemp_; }
    QMenu* chartMenu() const { return pumChart_; }

    // Draws the chart from the window's record copies at the surface's size.
    void DrawChart();
    void drawChart() override { DrawChart(); }
    // The value labels depend on the unit; a hidden page draws when it is shown, not at
    // every configuration poll.
    void showModeAndSettings() override;

public slots:
    void imgTempClick();
    void imgTempResize();
    // Sets enabling and the check mark of the four sources before the menu opens.
    void pumChartPopup();
    void mnuCHMTempWaterClick() { chooseSource(csTempWater); }
    void mnuCHMTempBoardClick() { chooseSource(csTempBoard); }
    void mnuCHMVoltageClick() { chooseSource(csVoltage); }
    void mnuCHMTempSlaveClick() { chooseSource(csTempSlave); }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void chooseSource(int mode);

    ChartView* imgTemp_ = nullptr;
    QMenu* pumChart_ = nullptr;
    QAction* source_[4] = {};
    bool stale_ = false; // a redraw was skipped while the page was hidden
};

} // namespace quenda

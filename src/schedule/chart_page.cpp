#include "schedule/chart_page.h"

#include "pages/services.h"
#include "pages/window_services.h"
#include "lang/texts.h"
#include "pages/temp_text.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace quenda {

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgTemp"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Cross-hair while the pointer is over the chart, the default cursor elsewhere.
    setCursor(Qt::CrossCursor);
    setMinimumSize(120, 80);
}

void ChartView::setPicture(ChartPicture picture) {
    picture_ = std::move(picture);
    update();
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!picture_.image.isNull()) p.drawImage(0, 0, picture_.image);
}

void ChartView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    emit resized();
}

void ChartView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit clicked();
    else if (e->button() == Qt::RightButton) emit contextMenuAt(e->globalPosition().toPoint());
    QWidget::mousePressEvent(e);
}

ChartPage::ChartPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent) {
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    imgTemp_ = new ChartView(this);
    l->addWidget(imgTemp_);

    pumChart_ = new QMenu(this);
    pumChart_->setObjectName(QStringLiteral("pumChart"));
    // Captions follow the chart-source radio buttons once the language is applied.
    const struct {
        const char* name;
        const char* caption;
        void (ChartPage::*slot)();
    } items[4] = {
        {"mnuCHMTempWater", "Water temperature (Tempravik)", &ChartPage::mnuCHMTempWaterClick},
        {"mnuCHMTempBoard", "Board temperature", &ChartPage::mnuCHMTempBoardClick},
        {"mnuCHMVoltage", "Input voltage", &ChartPage::mnuCHMVoltageClick},
        {"mnuCHMTempSlave",
         "Slave temperature (measurements will only make sense if a single slave board is connected)",
         &ChartPage::mnuCHMTempSlaveClick},
    };
    for (int i = 0; i < 4; ++i) {
        QAction* a = pumChart_->addAction(QString::fromUtf8(items[i].caption));
        a->setObjectName(QLatin1String(items[i].name));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, items[i].slot);
        source_[i] = a;
    }
    connect(pumChart_, &QMenu::aboutToShow, this, &ChartPage::pumChartPopup);
    connect(imgTemp_, &ChartView::clicked, this, &ChartPage::imgTempClick);
    connect(imgTemp_, &ChartView::resized, this, &ChartPage::imgTempResize);
    connect(imgTemp_, &ChartView::contextMenuAt, pumChart_, [this](const QPoint& at) { pumChart_->popup(at); });
}

void ChartPage::DrawChart() {
    const DeviceState& s = win_.state();
    ChartInput in;
    in.chart = s.Chart;
    in.mode = s.Expert.ChartMode;
    in.interval = s.Expert.ChartInterval;
    in.hour = s.Info.Hour;
    in.minute = s.Info.Minute;
    in.second = s.Info.Second;
    in.centisecond = s.Info.Centisecond;
    in.now = win_.clock().now();
    in.fahrenheit = fahrenheitUnit(s.Config);
    in.locale = QLocale::system();
    in.notConnected = Msg(QStringLiteral("TempravikNotConnected"));
    in.font = imgTemp_->font();
    in.dpi = imgTemp_->logicalDpiY();
    imgTemp_->setPicture(quenda::DrawChart(in, imgTemp_->size(), imgTemp_->takeImage()));
    stale_ = false;
}

void ChartPage::showModeAndSettings() {
    if (imgTemp_->isVisible())
        DrawChart();
    else
        stale_ = true;
}

void ChartPage::imgTempClick() { win_.raiseRequest(rqGetChart); }

void ChartPage::imgTempResize() {
    if (imgTemp_->isVisible()) DrawChart();
}

void ChartPage::showEvent(QShowEvent* e) {
    Page::showEvent(e);
    // A chart drawn while the page was hidden may have had another size.
    if (stale_ || imgTemp_->picture().image.size() != imgTemp_->size()) DrawChart();
}

void ChartPage::pumChartPopup() {
    const TInfo& info = win_.state().Info;
    source_[csTempWater]->setEnabled(measured(info.TempWater));
    source_[csTempSlave]->setEnabled(measured(info.TempSlave));
    source_[csTempBoard]->setEnabled(true);
    source_[csVoltage]->setEnabled(true);
    const int mode = win_.state().Expert.ChartMode;
    for (int i = 0; i < 4; ++i)
        source_[i]->setChecked(i == mode);
}

void ChartPage::chooseSource(int mode) {
    DeviceState& s = win_.state();
    s.Expert.ChartMode = static_cast<uint8_t>(mode);
    // The menu's own toggle is not the truth: the record is.
    for (int i = 0; i < 4; ++i)
        source_[i]->setChecked(i == mode);
    win_.ShowExpertSettings();
    win_.raiseRequest(rqChartMode);
}

} // namespace quenda

#include "pages/geo_page.h"

#include "pages/entry_check.h"
#include "pages/number_text.h"
#include "pages/services.h"
#include "pages/window_services.h"
#include "lang/apply_language.h"
#include "lang/texts.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <exception>

namespace quenda {

namespace {
constexpr double kMinScale = 0.25;
constexpr double kMaxScale = 8;
constexpr double kScaleStep = 1.25;
const QString kDegree = QStringLiteral("\u00B0");

GeoTextStyle interfaceTextStyle() {
    GeoTextStyle s;
    s.text = [](std::string_view key) {
        return Msg(QString::fromUtf8(key.data(), qsizetype(key.size()))).toStdString();
    };
    s.decimalSeparator = QString(desktopDecimalSeparator()).toStdString();
    return s;
}

QString clockText(int hour, int minute) {
    return formatNumber(hour, "00") + QLatin1Char(':') + formatNumber(minute, "00");
}

// "H:M" with hour 0..23 and minute 0..59; nothing for any other text.
std::optional<QTime> parseClock(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) return std::nullopt;
    bool okHour = false, okMinute = false;
    const int hour = text.left(colon).trimmed().toInt(&okHour);
    const int minute = text.mid(colon + 1).trimmed().toInt(&okMinute);
    // A device clock of 25:70 is never sound: out-of-range values count as unparsable.
    if (!okHour || !okMinute || hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    return QTime(hour, minute);
}

QLineEdit* labelledEdit(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                        QLabel** label) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(hint);
    *label = new QLabel(caption, parent);
    (*label)->setBuddy(e);
    AttachLabel(e, *label);
    return e;
}
} // namespace

// ---- Map and moon views ------------------------------------------------------------

GeoMapCanvas::GeoMapCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgGeoCanvas"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kMapWidth, kMapHeight);
}

void GeoMapCanvas::setImage(const QImage& image) {
    image_ = image;
    setScale(scale_);
    update();
}

void GeoMapCanvas::setScale(double scale) {
    scale_ = std::clamp(scale, kMinScale, kMaxScale);
    const QSize base = image_.isNull() ? QSize(kMapWidth, kMapHeight) : image_.size();
    resize(qRound(base.width() * scale_), qRound(base.height() * scale_));
    update();
}

void GeoMapCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // No smoothing: each map pixel stays a block of pixels when enlarged.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (image_.isNull()) p.fillRect(rect(), Qt::black);
    else p.drawImage(rect(), image_);
}

void GeoMapCanvas::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit mouseDown(mapPixelAt(e->position()));
}
void GeoMapCanvas::mouseMoveEvent(QMouseEvent* e) {
    emit mouseMove(mapPixelAt(e->position()));
}
void GeoMapCanvas::enterEvent(QEnterEvent*) {
    emit mouseEnter();
}
void GeoMapCanvas::leaveEvent(QEvent*) {
    emit mouseLeave();
}

GeoMapView::GeoMapView(QWidget* parent) : QScrollArea(parent), canvas_(new GeoMapCanvas) {
    setObjectName(QStringLiteral("imgGeo"));
    setWidgetResizable(false);
    setAlignment(Qt::AlignCenter);
    setWidget(canvas_);
}

void GeoMapView::setScale(double scale) {
    canvas_->setScale(scale);
}

void GeoMapView::wheelEvent(QWheelEvent* e) {
    if (!(e->modifiers() & Qt::ControlModifier) || e->angleDelta().y() == 0) {
        QScrollArea::wheelEvent(e);
        return;
    }
    setScale(e->angleDelta().y() > 0 ? canvas_->scale() * kScaleStep : canvas_->scale() / kScaleStep);
    e->accept();
}

MoonView::MoonView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgMoon"));
    setFixedSize(kMoonSize, kMoonSize);
}

void MoonView::setImage(const QImage& image) {
    image_ = image;
    update();
}

void MoonView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_); // blended over the page
}

void MoonView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit doubleClicked();
}

// ---- Page --------------------------------------------------------------------------

GeoPage::GeoPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent), pristine_(LoadWorldMap()) {
    build();
}

void GeoPage::build() {
    auto* outer = new QVBoxLayout(this);
    imgGeo_ = new GeoMapView(this);
    outer->addWidget(imgGeo_, 1);

    auto* controls = new QHBoxLayout;
    QLabel* lblLat = nullptr;
    QLabel* lblLon = nullptr;
    QLabel* lblTime = nullptr;
    edtLat_ = labelledEdit(this, "edtLat", QStringLiteral("Latitude"), QStringLiteral("positive: north, negative: south"),
                           &lblLat);
    edtLon_ = labelledEdit(this, "edtLon", QStringLiteral("Longitude"), QStringLiteral("positive: east, negative: west"),
                           &lblLon);
    edtTime_ = labelledEdit(this, "edtTime", QStringLiteral("Time (HH:MM)"), QString(), &lblTime);
    for (QLineEdit* e : {edtLat_, edtLon_, edtTime_})
        e->setFixedWidth(64);

    dtp_ = new QDateEdit(this);
    dtp_->setObjectName(QStringLiteral("dtp"));
    dtp_->setCalendarPopup(true);
    dtp_->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));

    trbTime_ = new QSlider(Qt::Horizontal, this);
    trbTime_->setObjectName(QStringLiteral("trbTime"));
    trbTime_->setRange(0, 1439);
    trbTime_->setPageStep(60);
    trbTime_->setTickInterval(60);
    trbTime_->setTickPosition(QSlider::TicksBelow);
    trbTime_->setMinimumWidth(160);

    btnNow_ = new QPushButton(QStringLiteral("Now"), this);
    btnNow_->setObjectName(QStringLiteral("btnNow"));
    btnNow_->setToolTip(QStringLiteral("Set current time and date"));

    controls->addWidget(lblLat);
    controls->addWidget(edtLat_);
    controls->addSpacing(8);
    controls->addWidget(lblLon);
    controls->addWidget(edtLon_);
    controls->addSpacing(8);
    controls->addWidget(dtp_);
    controls->addWidget(trbTime_, 1);
    controls->addWidget(lblTime);
    controls->addWidget(edtTime_);
    controls->addWidget(btnNow_);
    outer->addLayout(controls);

    auto* figures = new QHBoxLayout;
    lblGeo_ = new QLabel(this);
    lblGeo_->setObjectName(QStringLiteral("lblGeo"));
    lblGeo_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblGeo_->setTextFormat(Qt::PlainText);
    imgMoon_ = new MoonView(this);
    figures->addWidget(lblGeo_, 1);
    figures->addWidget(imgMoon_);
    outer->addLayout(figures);

    GeoMapCanvas* canvas = imgGeo_->canvas();
    connect(canvas, &GeoMapCanvas::mouseDown, this, &GeoPage::imgGeoMouseDown);
    connect(canvas, &GeoMapCanvas::mouseMove, this, &GeoPage::imgGeoMouseMove);
    connect(canvas, &GeoMapCanvas::mouseEnter, this, &GeoPage::imgGeoMouseEnter);
    connect(canvas, &GeoMapCanvas::mouseLeave, this, &GeoPage::imgGeoMouseLeave);
    connect(edtLat_, &QLineEdit::textChanged, this, &GeoPage::edtLatChange);
    connect(edtLon_, &QLineEdit::textChanged, this, &GeoPage::edtLatChange);
    connect(dtp_, &QDateEdit::dateChanged, this, &GeoPage::dtpChange);
    connect(trbTime_, &QSlider::valueChanged, this, &GeoPage::trbTimeChange);
    connect(edtTime_, &QLineEdit::textChanged, this, &GeoPage::edtTimeChange);
    connect(btnNow_, &QPushButton::clicked, this, &GeoPage::btnNowClick);
    connect(imgMoon_, &MoonView::doubleClicked, this, &GeoPage::imgMoonDblClick);

    showPlace();
    showClock();
    DrawGeo();
}

QLabel* GeoPage::statusPanel() const {
    return window()->findChild<QLabel*>(QStringLiteral("sbPanel0"));
}

bool GeoPage::dateInUse() const {
    // While the calendar is open the focus is in the pop-up, not in the picker. The
    // calendar is looked up, not asked for: asking builds it (milliseconds) when it
    // has never been opened.
    const auto* calendar = dtp_->findChild<QCalendarWidget*>();
    return userChange(dtp_) || (calendar && calendar->isVisible());
}

// ---- Drawing -----------------------------------------------------------------------

void GeoPage::DrawGeo() {
    const DeviceState& s = win_.state();
    try {
        complete_ = RenderGeo(pristine_, s.Config, s.Info, QTimeZone::systemTimeZone(), interfaceTextStyle(), scene_);
    } catch (const std::exception&) {
        complete_ = false; // the page keeps what was drawn
    }
    imgGeo_->canvas()->setImage(scene_.map);
    QString text = scene_.text;
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    lblGeo_->setText(text);
    imgMoon_->setImage(scene_.moon);
}

// ---- Place -------------------------------------------------------------------------

void GeoPage::showPlace() {
    const TConfig& c = win_.state().Config;
    for (auto [edit, value] : {std::pair{edtLat_, int(c.Lat)}, std::pair{edtLon_, int(c.Lon)}}) {
        const QString text = formatNumber(value / 10.0, "0.#");
        if (edit->hasFocus() || edit->text() == text) continue;
        const QSignalBlocker block(edit);
        edit->setText(text);
    }
}

void GeoPage::storePlace(double latDeg, double lonDeg) {
    TConfig& c = win_.state().Config;
    c.Lat = static_cast<int16_t>(cut16(roundHalfEven(latDeg * 10)));
    c.Lon = static_cast<int16_t>(cut16(roundHalfEven(lonDeg * 10)));
}

void GeoPage::imgGeoMouseDown(QPointF mapPixel) {
    const GeoPlace place = PlaceAtMapPixel(mapPixel);
    storePlace(place.lat, place.lon);
    for (auto [edit, value] : {std::pair{edtLat_, place.lat}, std::pair{edtLon_, place.lon}}) {
        const QSignalBlocker block(edit);
        edit->setText(formatNumber(value, "0.#"));
    }
    DrawGeo();
    win_.raiseRequest(rqSetConfig);
}

void GeoPage::imgGeoMouseMove(QPointF mapPixel) {
    const GeoPlace place = PlaceAtMapPixel(mapPixel);
    if (QLabel* panel = statusPanel())
        panel->setText(Msg(QStringLiteral("MousePosition")) + QStringLiteral(": ") + Msg(QStringLiteral("Latitude")) +
                       QStringLiteral(": ") + formatNumber(place.lat, "0.#") + kDegree + QStringLiteral(", ") +
                       Msg(QStringLiteral("Longitude")) + QStringLiteral(": ") + formatNumber(place.lon, "0.#") +
                       kDegree);
}

void GeoPage::imgGeoMouseEnter() {
    imgGeo_->canvas()->setCursor(Qt::CrossCursor);
}

void GeoPage::imgGeoMouseLeave() {
    imgGeo_->canvas()->unsetCursor();
    if (QLabel* panel = statusPanel()) panel->clear();
}

void GeoPage::edtLatChange() {
    if (!userChange(edtLat_) && !userChange(edtLon_)) return;
    const auto lat = parseDecimal(edtLat_->text());
    const auto lon = parseDecimal(edtLon_->text());
    if (!lat || !lon) return;
    storePlace(*lat, *lon); // no range: the device takes what it is given
    DrawGeo();
    win_.raiseRequest(rqSetConfig);
}

// ---- Clock -------------------------------------------------------------------------

void GeoPage::showTime(int hour, int minute, bool skipFocused) {
    if (!(skipFocused && edtTime_->hasFocus())) {
        const QString text = clockText(hour, minute);
        if (edtTime_->text() != text) {
            const QSignalBlocker block(edtTime_);
            edtTime_->setText(text);
        }
    }
    if (!(skipFocused && userChange(trbTime_))) {
        const QSignalBlocker block(trbTime_);
        trbTime_->setValue(hour * 60 + minute);
    }
}

void GeoPage::showClock() {
    const TInfo& info = win_.state().Info;
    showTime(info.Hour, info.Minute, true);
    const QDate d(2000 + info.Year, info.Month, info.Day);
    if (d.isValid() && !dateInUse()) { // an impossible device date leaves the picker as it is
        const QSignalBlocker block(dtp_);
        dtp_->setDate(d);
    }
}

void GeoPage::dtpChange(const QDate& date) {
    if (!dateInUse() || !date.isValid()) return;
    TInfo& info = win_.state().Info;
    info.Day = static_cast<int8_t>(cut8(date.day()));
    info.Month = static_cast<int8_t>(cut8(date.month()));
    info.Year = static_cast<int8_t>(cut8(date.year() - 2000));
    DrawGeo();
    win_.raiseRequest(rqSetTime);
}

void GeoPage::trbTimeChange(int position) {
    if (!userChange(trbTime_)) return;
    const int hour = position / 60;
    const int minute = position % 60;
    TInfo& info = win_.state().Info;
    if (hour == info.Hour && minute == info.Minute) return;
    info.Hour = static_cast<int8_t>(hour);
    info.Minute = static_cast<int8_t>(minute);
    if (!edtTime_->hasFocus()) {
        const QSignalBlocker block(edtTime_);
        edtTime_->setText(clockText(hour, minute));
    }
    DrawGeo();
    win_.raiseRequest(rqSetTime);
}

void GeoPage::edtTimeChange(const QString& text) {
    if (!userChange(edtTime_)) return;
    const auto t = parseClock(text);
    if (!t) return;
    {
        const QSignalBlocker block(trbTime_);
        trbTime_->setValue(t->hour() * 60 + t->minute());
    }
    TInfo& info = win_.state().Info;
    info.Hour = static_cast<int8_t>(t->hour());
    info.Minute = static_cast<int8_t>(t->minute());
    DrawGeo();
    win_.raiseRequest(rqSetTime);
}

void GeoPage::btnNowClick() {
    // Back to real time on the device first; nothing to press while that page is missing.
    if (auto* realtime = window()->findChild<QAbstractButton*>(QStringLiteral("btnRealtime"))) realtime->click();
    const QDateTime now = win_.clock().now();
    {
        const QSignalBlocker block(dtp_);
        dtp_->setDate(now.date());
    }
    const QTime t = now.time();
    win_.state().setClock({now.date().year(), now.date().month(), now.date().day(), t.hour(), t.minute(), t.second(),
                           t.msec()});
    showTime(t.hour(), t.minute(), false);
    DrawGeo();
    win_.raiseRequest(rqSetTime);
}

void GeoPage::imgMoonDblClick() {
    if (auto* config = window()->findChild<Page*>(QStringLiteral("tsConfig"))) win_.ShowPage(config);
}

// ---- Hooks -------------------------------------------------------------------------

void GeoPage::pageShown() {
    DrawGeo();
}

void GeoPage::showDeviceInfo() {
    if (!window()->isVisible()) return;
    showClock();
    if (isVisible()) DrawGeo();
}

void GeoPage::showModeAndSettings() {
    showPlace();
}

void GeoPage::languageApplied() {
    dtp_->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    DrawGeo();
}

} // namespace quenda

#include "pages/channel_page.h"

#include "pages/field_binding.h"
#include "pages/number_text.h"
#include "pages/window_services.h"
#include "lang/apply_language.h"
#include "lang/texts.h"
#include "link/device_codes.h"
#include "pages/channel_names.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quenda {

namespace {
constexpr char kTag[] = "tag";

int16_t storedLevel(int64_t v) {
    return static_cast<int16_t>(cut16(v));
}

// Each row is bound once per channel of the page ("%1" is the channel).
constexpr FieldBind kLevel{"edt%1", RecordKind::Info, "Channel", Conv::LevelPercent, rqSetChannels, 0,
                           "trb%1", 0, kLevelMax, 128, 512};
constexpr FieldBind kColorName{"cmbName%1", RecordKind::Config, "ColorName", Conv::Whole, rqSetConfig};
} // namespace

ChannelPage::ChannelPage(const QString& objectName, const QString& caption, int firstChannel,
                         WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent), first_(firstChannel) {
    build();
}

void ChannelPage::build() {
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(14);
    grid->setColumnStretch(2, 1);
    outer->addLayout(grid);
    outer->addStretch(1);

    for (int i = 0; i < kRows; ++i) {
        const int n = first_ + i;
        const QString suffix = QString::number(n);
        Row& r = rows_[i];

        r.lblName = new QLabel(this);
        r.lblName->setObjectName(QStringLiteral("lblName") + suffix);
        r.lblName->setText(QStringLiteral("Label for channel ") + ChannelLetter(n));

        r.cmbName = new QComboBox(this);
        r.cmbName->setObjectName(QStringLiteral("cmbName") + suffix);
        r.cmbName->setMinimumContentsLength(12);
        r.cmbName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        r.lblName->setBuddy(r.cmbName);

        r.trb = new QSlider(Qt::Horizontal, this);
        r.trb->setObjectName(QStringLiteral("trb") + suffix);
        r.trb->setTickPosition(QSlider::TicksBelow);
        r.trb->setMinimumWidth(200);

        r.edt = new QLineEdit(this);
        r.edt->setObjectName(QStringLiteral("edt") + suffix);
        r.edt->setFixedWidth(56);
        r.edt->setAlignment(Qt::AlignRight);
        r.edt->setText(QStringLiteral("0"));
        r.percent = new QLabel(QStringLiteral("%"), this);
        r.percent->setBuddy(r.edt);
        AttachLabel(r.edt, r.percent);

        r.btnOff = new QPushButton(QStringLiteral("OFF"), this);
        r.btnOff->setObjectName(QStringLiteral("btnOff") + suffix);
        r.btnOn = new QPushButton(QStringLiteral("ON"), this);
        r.btnOn->setObjectName(QStringLiteral("btnOn") + suffix);
        for (QPushButton* b : {r.btnOff, r.btnOn})
            b->setFixedWidth(56);

        for (QObject* o :
             std::initializer_list<QObject*>{r.lblName, r.cmbName, r.trb, r.edt, r.btnOff, r.btnOn})
            o->setProperty(kTag, n);

        grid->addWidget(r.lblName, i, 0);
        grid->addWidget(r.cmbName, i, 1);
        grid->addWidget(r.trb, i, 2);
        grid->addWidget(r.edt, i, 3);
        grid->addWidget(r.percent, i, 4);
        grid->addWidget(r.btnOff, i, 5);
        grid->addWidget(r.btnOn, i, 6);

        connect(r.btnOff, &QPushButton::clicked, this, &ChannelPage::btnOffAClick);
        connect(r.btnOn, &QPushButton::clicked, this, &ChannelPage::btnOnAClick);
    }
    fillColorNames();
    binding_ = new FieldBinding(win_, this);
    binding_->add(kLevel, first_, kRows);
    binding_->add(kColorName, first_, kRows, [this](int) { cmbNameAChange(); });
}

void ChannelPage::fillColorNames() {
    for (Row& r : rows_) {
        const QSignalBlocker block(r.cmbName);
        const int keep = r.cmbName->currentIndex();
        r.cmbName->clear();
        for (int c = 0; c < kColorNames; ++c)
            r.cmbName->addItem(ColorName(c));
        r.cmbName->setCurrentIndex(keep < 0 ? 0 : keep);
    }
}

void ChannelPage::connectMenus() {
    // The window builds its menus after its pages, so this waits for the first hook
    // that runs once the window is complete.
    if (menusConnected_ || !servesWindow()) return;
    QWidget* w = window();
    auto* off = w->findChild<QAction*>(QStringLiteral("mnuAllOff"));
    auto* twenty = w->findChild<QAction*>(QStringLiteral("mnuAll20"));
    auto* on = w->findChild<QAction*>(QStringLiteral("mnuAllOn"));
    if (!off || !twenty || !on) return;
    connect(off, &QAction::triggered, this, &ChannelPage::mnuAllOffClick);
    connect(twenty, &QAction::triggered, this, &ChannelPage::mnuAll20Click);
    connect(on, &QAction::triggered, this, &ChannelPage::mnuAllOnClick);
    menusConnected_ = true;
}

int ChannelPage::channelOf(const QObject* control) const {
    if (!control) return -1;
    bool ok = false;
    const int n = control->property(kTag).toInt(&ok);
    return ok && hasChannel(n) ? n : -1;
}

QSlider* ChannelPage::trb(int n) const {
    return hasChannel(n) ? rows_[n - first_].trb : nullptr;
}
QLineEdit* ChannelPage::edt(int n) const {
    return hasChannel(n) ? rows_[n - first_].edt : nullptr;
}
QComboBox* ChannelPage::cmbName(int n) const {
    return hasChannel(n) ? rows_[n - first_].cmbName : nullptr;
}
QPushButton* ChannelPage::btnOn(int n) const {
    return hasChannel(n) ? rows_[n - first_].btnOn : nullptr;
}
QPushButton* ChannelPage::btnOff(int n) const {
    return hasChannel(n) ? rows_[n - first_].btnOff : nullptr;
}

void ChannelPage::showLevel(int n) {
    if (hasChannel(n)) binding_->show(RecordKind::Info, "Channel", n);
}

void ChannelPage::setLevel(int n, int level) {
    win_.state().Info.Channel[n] = storedLevel(level);
    showLevel(n);
}

// ---- Handlers ---------------------------------------------------------------

void ChannelPage::btnOffAClick() {
    const int n = channelOf(sender());
    if (n < 0) return;
    setLevel(n, 0);
    win_.raiseRequest(rqSetChannels);
}

void ChannelPage::btnOnAClick() {
    const int n = channelOf(sender());
    if (n < 0) return;
    setLevel(n, kLevelMax);
    win_.raiseRequest(rqSetChannels);
}

void ChannelPage::cmbNameAChange() {
    ShowChannelNames(window(), win_.state());
}

QList<ChannelPage*> ChannelPage::channelPages() const {
    QList<ChannelPage*> pages = window()->findChildren<ChannelPage*>();
    if (pages.isEmpty()) pages << const_cast<ChannelPage*>(this);
    return pages;
}

void ChannelPage::setAllChannels(int level) {
    for (int n = 0; n < kChannels; ++n)
        win_.state().Info.Channel[n] = storedLevel(level);
    // Raised first: the link sends its copy of the levels while the pages redraw.
    win_.raiseRequest(rqSetChannels);
    win_.ShowChannelsPage();
    for (ChannelPage* p : channelPages())
        for (int n = p->first_; n < p->first_ + kRows; ++n)
            p->showLevel(n);
}

void ChannelPage::mnuAllOffClick() {
    setAllChannels(0);
}
void ChannelPage::mnuAll20Click() {
    setAllChannels(kLevel20);
}
void ChannelPage::mnuAllOnClick() {
    setAllChannels(kLevelMax);
}

// ---- Record displays --------------------------------------------------------------

void ChannelPage::showDeviceInfo() {
    if (!window()->isVisible()) return;
    binding_->refresh(RecordKind::Info);
}

void ChannelPage::showModeAndSettings() {
    if (!window()->isVisible()) return;
    // Manual-only controls; never enabled without a device.
    const bool on = win_.isConnected() && isMode(win_.state().Config.Mode, Mode::Manual);
    for (Row& r : rows_)
        for (QWidget* w : std::initializer_list<QWidget*>{r.trb, r.edt, r.btnOff, r.btnOn})
            w->setEnabled(on);
    if (servesWindow()) RefreshChannelNames(window(), win_.state());
}

void ChannelPage::controlsEnabled(bool connected) {
    (void)connected;
    connectMenus();
}

void ChannelPage::languageApplied() {
    fillColorNames();
    connectMenus();
    if (servesWindow()) ShowChannelNames(window(), win_.state());
}

} // namespace quenda

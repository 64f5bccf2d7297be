#include "pages/channel_page.h"

#include "app/binding.h"
#include "app/window_services.h"
#include "lang/apply_language.h"
#include "lang/texts.h"
#include "pages/channel_names.h"
#include "pages/entry_check.h"

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
        r.trb->setRange(0, kLevelMax);
        r.trb->setPageStep(128);
        r.trb->setSingleStep(1);
        r.trb->setTickInterval(512);
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

        attachEntryCheck(
            r.edt, [](const QString& text) { return percentToLevel(text).has_value(); },
            [this, n] { return levelPercentText(win_.state().Info.Channel[n]); });
        installWheelGuard(r.trb);
        installWheelGuard(r.cmbName);

        connect(r.trb, &QSlider::valueChanged, this, &ChannelPage::trbAChange);
        connect(r.edt, &QLineEdit::textChanged, this, &ChannelPage::edtAChange);
        connect(r.btnOff, &QPushButton::clicked, this, &ChannelPage::btnOffAClick);
        connect(r.btnOn, &QPushButton::clicked, this, &ChannelPage::btnOnAClick);
        // activated: only a choice of the user, never a selection made by the program.
        connect(r.cmbName, &QComboBox::activated, this, &ChannelPage::cmbNameAChange);
    }
    fillColorNames();
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

void ChannelPage::showLevel(int n, int level) {
    if (!hasChannel(n)) return;
    Row& r = rows_[n - first_];
    {
        const QSignalBlocker block(r.trb);
        r.trb->setValue(level); // the slider clamps
    }
    const QSignalBlocker block(r.edt);
    r.edt->setText(levelPercentText(level));
}

void ChannelPage::setLevel(int n, int level) {
    win_.state().Info.Channel[n] = storedLevel(level);
    showLevel(n, level);
}

// ---- Handlers ---------------------------------------------------------------

void ChannelPage::trbAChange(int position) {
    auto* s = qobject_cast<QSlider*>(sender());
    const int n = channelOf(s);
    if (n < 0 || !userChange(s)) return;
    TInfo& info = win_.state().Info;
    if (position == info.Channel[n]) return;
    info.Channel[n] = storedLevel(position);
    Row& r = rows_[n - first_];
    {
        const QSignalBlocker block(r.edt);
        r.edt->setText(levelPercentText(position));
    }
    win_.raiseRequest(rqSetChannels);
}

void ChannelPage::edtAChange(const QString& text) {
    auto* e = qobject_cast<QLineEdit*>(sender());
    const int n = channelOf(e);
    if (n < 0 || !userChange(e)) return;
    const auto v = percentToLevel(text);
    if (!v) return;
    Row& r = rows_[n - first_];
    {
        const QSignalBlocker block(r.trb);
        r.trb->setValue(static_cast<int>(std::clamp<int64_t>(*v, 0, kLevelMax)));
    }
    // No range check: the field keeps the low 16 bits, the track bar shows it clamped.
    win_.state().Info.Channel[n] = storedLevel(*v);
    win_.raiseRequest(rqSetChannels);
}

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

void ChannelPage::cmbNameAChange(int index) {
    const int n = channelOf(sender());
    if (n < 0 || index < 0) return;
    win_.state().Config.ColorName[n] = cut8(index);
    win_.raiseRequest(rqSetConfig);
    ShowChannelNames(window(), win_.state());
}

QList<ChannelPage*> ChannelPage::channelPages() const {
    QList<ChannelPage*> pages = window()->findChildren<ChannelPage*>();
    if (pages.isEmpty()) pages << const_cast<ChannelPage*>(this);
    return pages;
}

void ChannelPage::setAllChannels(int level) {
    win_.ShowChannelsPage();
    for (int n = 0; n < kChannels; ++n)
        win_.state().Info.Channel[n] = storedLevel(level);
    for (ChannelPage* p : channelPages())
        for (int n = p->first_; n < p->first_ + kRows; ++n)
            p->showLevel(n, level);
    win_.raiseRequest(rqSetChannels);
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
    const TInfo& info = win_.state().Info;
    for (int i = 0; i < kRows; ++i) {
        Row& r = rows_[i];
        const int level = info.Channel[first_ + i];
        if (!userChange(r.trb)) {
            const QSignalBlocker block(r.trb);
            r.trb->setValue(level);
        }
        if (!r.edt->hasFocus()) {
            const QSignalBlocker block(r.edt);
            r.edt->setText(levelPercentText(level));
        }
    }
}

void ChannelPage::showModeAndSettings() {
    if (!window()->isVisible()) return;
    // Manual-only controls; never enabled without a device.
    const bool on = win_.isConnected() && win_.state().Config.Mode == 0;
    for (Row& r : rows_)
        for (QWidget* w : std::initializer_list<QWidget*>{r.trb, r.edt, r.btnOff, r.btnOn})
            w->setEnabled(on);
    if (servesWindow()) ShowChannelNames(window(), win_.state());
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

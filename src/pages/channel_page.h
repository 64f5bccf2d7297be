// The channel page: six channel rows per tab, each with its colour name, a track bar
// and a percent edit for the level, and OFF/ON buttons. The window has two of them
// ("Channels A-F" with rows 0..5, "Channels G-L" with rows 6..11).
#pragma once

#include "pages/page.h"

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace quenda {

class FieldBinding;

class ChannelPage : public Page {
    Q_OBJECT
public:
    static constexpr int kRows = 6;
    static constexpr int kLevel20 = 819; // 20 % of kLevelMax, rounded

    ChannelPage(const QString& objectName, const QString& caption, int firstChannel, WindowServices& win,
                QWidget* parent = nullptr);

    int firstChannel() const { return first_; }
    bool hasChannel(int n) const { return n >= first_ && n < first_ + kRows; }

    // Controls of channel n (nullptr for a channel of the other page).
    QSlider* trb(int n) const;
    QLineEdit* edt(int n) const;
    QComboBox* cmbName(int n) const;
    QPushButton* btnOn(int n) const;
    QPushButton* btnOff(int n) const;

    // Moves track bar and edit of channel n to its stored level, without running their handlers.
    void showLevel(int n);

    void showDeviceInfo() override;
    void showModeAndSettings() override;
    void controlsEnabled(bool connected) override;
    void languageApplied() override;

public slots:
    void btnOffAClick();
    void btnOnAClick();
    // After the bound colour-name choice was stored: spread the names.
    void cmbNameAChange();
    void mnuAllOffClick();
    void mnuAll20Click();
    void mnuAllOnClick();

private:
    struct Row {
        QLabel* lblName = nullptr;
        QComboBox* cmbName = nullptr;
        QSlider* trb = nullptr;
        QLineEdit* edt = nullptr;
        QLabel* percent = nullptr;
        QPushButton* btnOff = nullptr;
        QPushButton* btnOn = nullptr;
    };

    void build();
    void fillColorNames();
    void connectMenus();
    // The channel a control belongs to (its tag), -1 when it is none of ours.
    int channelOf(const QObject* control) const;
    void setLevel(int n, int level);
    void setAllChannels(int level);
    // Only the first page serves the window-wide duties (menu items, colour names).
    bool servesWindow() const { return first_ == 0; }
    // The rows of both channel pages of the window.
    QList<ChannelPage*> channelPages() const;

    int first_;
    std::array<Row, kRows> rows_{};
    bool menusConnected_ = false;
    FieldBinding* binding_ = nullptr;
};

} // namespace quenda

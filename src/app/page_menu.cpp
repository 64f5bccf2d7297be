#include "app/page_menu.h"

#include "lang/texts.h"

#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace quenda {

QToolButton* addPageMenu(QTabWidget& tabs, const QString& objectName) {
    auto* button = new QToolButton(&tabs);
    button->setObjectName(objectName);
    button->setArrowType(Qt::DownArrow);
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(button);
    button->setMenu(menu);
    QObject::connect(menu, &QMenu::aboutToShow, button, [menu, button, t = &tabs] {
        button->setToolTip(Msg(QStringLiteral("AllPages")));
        menu->clear();
        for (int i = 0; i < t->count(); ++i) {
            if (!t->isTabVisible(i)) continue;
            QAction* a = menu->addAction(t->tabText(i));
            a->setCheckable(true);
            a->setChecked(i == t->currentIndex());
            QWidget* page = t->widget(i);
            // By page, not index: tabs may be shown or hidden while the menu is open.
            QObject::connect(a, &QAction::triggered, t, [t, page] {
                const int at = t->indexOf(page);
                if (at >= 0 && t->isTabVisible(at)) t->setCurrentIndex(at);
            });
        }
    });
    tabs.setCornerWidget(button, Qt::TopRightCorner);
    return button;
}

int widthForAllTabs(const QMainWindow& window, const QTabWidget& tabs) {
    // The bar's size hint spans all visible tabs side by side.
    const int tabsWidth = tabs.tabBar()->sizeHint().width();
    const QWidget* corner = tabs.cornerWidget(Qt::TopRightCorner);
    const int cornerWidth = corner ? corner->sizeHint().width() : 0;
    // What the window spends around the tab widget (frames, margins) stays as it is.
    const int around = qMax(0, window.width() - tabs.width());
    const int frame = 2 * tabs.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &tabs) + 8;
    return tabsWidth + cornerWidth + around + frame;
}

void fitWindowToTabs(QMainWindow& window, const QTabWidget& tabs) {
    int wanted = widthForAllTabs(window, tabs);
    if (wanted <= window.width()) return;
    if (const QScreen* s = window.screen()) wanted = qMin(wanted, s->availableGeometry().width());
    if (wanted > window.width()) window.resize(wanted, window.height());
}

} // namespace quenda

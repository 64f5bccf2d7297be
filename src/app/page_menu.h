// Keeping every page within reach: a button in the tab bar's corner with a menu of
// all visible pages, and an initial window width that shows all tabs where the
// screen allows.
#pragma once

#include <QString>

class QMainWindow;
class QTabWidget;
class QToolButton;

namespace quenda {

// The corner button; its menu is rebuilt from the visible tabs each time it opens.
QToolButton* addPageMenu(QTabWidget& tabs, const QString& objectName);
// The window width at which every visible tab fits beside the corner button.
int widthForAllTabs(const QMainWindow& window, const QTabWidget& tabs);
// Widens the window to that width, at most to the screen's available width.
void fitWindowToTabs(QMainWindow& window, const QTabWidget& tabs);

} // namespace quenda

#include "pages/page.h"

namespace quenda {

Page::Page(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : QWidget(parent), win_(win), caption_(caption) {
    setObjectName(objectName);
}

} // namespace quenda

#include "pages/page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quenda {

Page::Page(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : QWidget(parent), win_(win), caption_(caption) {
    setObjectName(objectName);
}

void PlaceholderPage::build() {
    auto* l = new QVBoxLayout(this);
    auto* label = new QLabel(this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    label->setText(caption());
    l->addWidget(label);
}

} // namespace quenda

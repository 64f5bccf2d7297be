#include "pages/page_layout.h"

#include "lang/apply_language.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace quenda {

QLineEdit* plainEdit(QWidget* parent, const char* name, int width) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QLabel* attachedLabel(QLineEdit* edit, const QString& caption) {
    auto* label = new QLabel(caption, edit->parentWidget());
    label->setBuddy(edit);
    AttachLabel(edit, label);
    return label;
}

void addBounds(QBoxLayout* into, QWidget* parent, const char* low, const char* high, const QString& caption) {
    QLineEdit* lo = plainEdit(parent, low);
    QLineEdit* hi = plainEdit(parent, high);
    QLabel* label = attachedLabel(lo, caption);
    label->setWordWrap(true);
    into->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(lo);
    row->addWidget(attachedLabel(hi, QStringLiteral("<")));
    row->addWidget(hi);
    row->addStretch(1);
    into->addLayout(row);
}

namespace {
QWidget* captioned(QWidget* parent, const char* name, const QString& caption, int width, QLineEdit** edit) {
    auto* box = new QWidget(parent);
    auto* l = new QVBoxLayout(box);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(2);
    *edit = plainEdit(box, name, width);
    l->addWidget(attachedLabel(*edit, caption));
    l->addWidget(*edit);
    return box;
}
} // namespace

QLineEdit* captionedEdit(QBoxLayout* into, QWidget* parent, const char* name, const QString& caption, int width) {
    QLineEdit* e = nullptr;
    into->addWidget(captioned(parent, name, caption, width, &e));
    return e;
}

QLineEdit* captionedEdit(QGridLayout* into, int row, int column, QWidget* parent, const char* name,
                         const QString& caption, int width) {
    QLineEdit* e = nullptr;
    into->addWidget(captioned(parent, name, caption, width, &e), row, column, Qt::AlignTop);
    return e;
}

QGroupBox* groupBox(QWidget* parent, const char* name, const QString& title) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

QRadioButton* radio(QBoxLayout* into, QWidget* parent, const char* name, const QString& caption) {
    auto* r = new QRadioButton(caption, parent);
    r->setObjectName(QLatin1String(name));
    into->addWidget(r);
    return r;
}

} // namespace quenda

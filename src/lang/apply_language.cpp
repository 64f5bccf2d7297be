#include "lang/apply_language.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QTranslator>
#include <QVariant>

namespace quenda {

namespace {

// A QTabWidget keeps its pages inside a QStackedWidget of its own.
QTabWidget* owningTabWidget(const QWidget* page) {
    const QWidget* stack = page->parentWidget();
    if (!stack || !qobject_cast<const QStackedWidget*>(stack)) return nullptr;
    return qobject_cast<QTabWidget*>(stack->parentWidget());
}

QObject* findControl(QWidget* window, const QString& name) {
    if (name.isEmpty()) return nullptr;
    return window->findChild<QObject*>(name);
}

QString formatted(const QString& pattern, const QString& arg) {
    return FormatText(pattern, {arg}).value_or(pattern);
}

// The template of a fix-up: the table's text when it has one, else what the
// control shows. Taking it from the table keeps a second relabelling intact.
QString templateOf(QWidget* window, const QString& control) {
    const std::optional<QString> raw =
        BuiltinTable(ActiveLanguage())
            .value(QLatin1String(kFormSection), control + QLatin1String(".Caption"));
    if (raw) return ExpandLineBreaks(*raw);
    if (QObject* o = findControl(window, control)) return CaptionOf(o);
    return {};
}

void copyCaption(QWidget* window, const QString& from, const QString& to) {
    QObject* src = findControl(window, from);
    QObject* dst = findControl(window, to);
    if (src && dst) SetCaption(dst, CaptionOf(src));
}

} // namespace

void AttachLabel(QWidget* edit, QLabel* label) {
    if (!edit) return;
    edit->setProperty(kLabelProperty, QVariant::fromValue(static_cast<QObject*>(label)));
    if (label) {
        // A stale pointer in the property must never be followed.
        QPointer<QWidget> guard(edit);
        QObject::connect(label, &QObject::destroyed, edit, [guard]() {
            if (guard) guard->setProperty(kLabelProperty, QVariant());
        });
    }
}

QLabel* AttachedLabel(const QObject* control) {
    if (!control) return nullptr;
    const QVariant v = control->property(kLabelProperty);
    if (!v.isValid()) return nullptr;
    return qobject_cast<QLabel*>(v.value<QObject*>());
}

QString CaptionOf(const QObject* o) {
    if (!o) return {};
    if (const QLabel* label = AttachedLabel(o)) return label->text();
    if (auto* a = qobject_cast<const QAction*>(o)) return a->text();
    if (auto* m = qobject_cast<const QMenu*>(o)) return m->title();
    if (auto* b = qobject_cast<const QAbstractButton*>(o)) return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(o)) return g->title();
    if (auto* l = qobject_cast<const QLabel*>(o)) return l->text();
    if (auto* p = qobject_cast<const QPlainTextEdit*>(o)) return p->toPlainText();
    if (auto* t = qobject_cast<const QTextEdit*>(o)) return t->toPlainText();
    if (auto* e = qobject_cast<const QLineEdit*>(o)) return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(o)) return c->currentText();
    if (qobject_cast<const QAbstractSlider*>(o)) return {};
    if (auto* w = qobject_cast<const QWidget*>(o)) {
        if (QTabWidget* tabs = owningTabWidget(w)) {
            const int index = tabs->indexOf(const_cast<QWidget*>(w));
            if (index >= 0) return tabs->tabText(index);
        }
        return w->windowTitle();
    }
    return {};
}

void SetCaption(QObject* o, const QString& text) {
    if (!o) return;
    if (QLabel* label = AttachedLabel(o)) {
        label->setText(text);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setText(text);
    } else if (auto* m = qobject_cast<QMenu*>(o)) {
        m->setTitle(text);
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        b->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setTitle(text);
    } else if (auto* l = qobject_cast<QLabel*>(o)) {
        l->setText(text);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(o)) {
        p->setPlainText(text);
    } else if (auto* t = qobject_cast<QTextEdit*>(o)) {
        t->setPlainText(text);
    } else if (auto* e = qobject_cast<QLineEdit*>(o)) {
        e->setText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        if (c->isEditable()) c->setEditText(text);
    } else if (qobject_cast<QAbstractSlider*>(o)) {
        // a track bar has no caption to show
    } else if (auto* w = qobject_cast<QWidget*>(o)) {
        if (QTabWidget* tabs = owningTabWidget(w)) {
            const int index = tabs->indexOf(w);
            if (index >= 0) tabs->setTabText(index, text);
            w->setWindowTitle(text);
        }
    }
}

void SetHint(QObject* o, const QString& text) {
    if (auto* a = qobject_cast<QAction*>(o)) {
        a->setToolTip(text);
    } else if (auto* w = qobject_cast<QWidget*>(o)) {
        w->setToolTip(text);
    }
}

bool InstallQtTranslations(int language) {
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (language != kGerman || !QCoreApplication::instance()) return false;
    auto* t = new QTranslator;
    if (!t->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    installed = t;
    return true;
}

int ApplyLanguage(QWidget* window, LanguageChoice choice) {
    const int language = LoadLanguage(choice);
    InstallQtTranslations(language);
    if (!window) return language;

    for (const FormText& entry : FormTexts(language)) {
        QString control;
        bool isHint = false;
        if (!SplitFormEntryName(entry.name, &control, &isHint)) continue;
        QObject* o = findControl(window, control);
        if (!o) continue;
        if (isHint)
            SetHint(o, entry.text);
        else
            SetCaption(o, entry.text);
    }

    if (auto* cmb = window->findChild<QComboBox*>(QStringLiteral("cmbLanguage"))) {
        const QSignalBlocker block(cmb);
        cmb->clear();
        cmb->addItem(Msg(QStringLiteral("English")));
        cmb->addItem(Msg(QStringLiteral("German")));
        cmb->setCurrentIndex(language);
    }

    const QString nameTemplate = templateOf(window, QStringLiteral("lblName0"));
    for (int n = 11; n >= 0; --n) {
        const QString suffix = QString::number(n);
        copyCaption(window, QStringLiteral("btnOn0"), QStringLiteral("btnOn") + suffix);
        copyCaption(window, QStringLiteral("btnOff0"), QStringLiteral("btnOff") + suffix);
        if (QObject* label = findControl(window, QStringLiteral("lblName") + suffix))
            SetCaption(label, formatted(nameTemplate, ChannelLetter(n)));
    }

    const QString tabTemplate = templateOf(window, QStringLiteral("tsChannels"));
    if (QObject* gl = findControl(window, QStringLiteral("tsChannelsGL")))
        SetCaption(gl, formatted(tabTemplate, QStringLiteral("G-L")));
    if (QObject* af = findControl(window, QStringLiteral("tsChannels")))
        SetCaption(af, formatted(tabTemplate, QStringLiteral("A-F")));

    for (const char* source : {"TempWater", "TempBoard", "Voltage", "TempSlave"}) {
        const QString s = QLatin1String(source);
        copyCaption(window, QStringLiteral("rbtCHM") + s, QStringLiteral("mnuCHM") + s);
    }

    for (const char* which : {"TempWater", "TempBoard"}) {
        const QString s = QLatin1String(which);
        QObject* radio = findControl(window, QStringLiteral("rbtCHM") + s);
        QObject* edit = findControl(window, QStringLiteral("edtCloud") + s);
        if (radio && edit) {
            if (QLabel* label = AttachedLabel(edit)) label->setText(CaptionOf(radio));
        }
    }
    return language;
}

} // namespace quenda

// Base of every page of the main window: a tab sheet that owns its controls.
#pragma once

#include <QWidget>

namespace quenda {

class WindowServices;

class Page : public QWidget {
    Q_OBJECT
public:
    Page(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    // Default (English) tab caption, before the language tables relabel it.
    QString caption() const { return caption_; }
    // Runs when the page becomes the active one.
    virtual void pageShown() {}

protected:
    WindowServices& win_;

private:
    QString caption_;
};

// A page whose controls arrive later; it only says so.
class PlaceholderPage : public Page {
    Q_OBJECT
public:
    using Page::Page;
    void build();
};

} // namespace quenda

// The window's pages in tab order: object name, English caption, how the page is
// made and when its tab shows. Adding a page means a row here and the page's own files.
#pragma once

#include <QString>
#include <span>

class QWidget;

namespace quenda {

class Page;
class WindowServices;

enum class PageGroup {
    Always,
    Expert, // shown with "Show Expert options" or the expert switch
    RC433,  // shown with "433 MHz" or its switch
};

struct PageEntry {
    const char* name;
    const char* caption;
    PageGroup group;
    Page* (*create)(const QString& name, const QString& caption, WindowServices& win, QWidget* parent);
};

std::span<const PageEntry> pageTable();

// The names of a group's pages, in tab order.
QStringList pagesOf(PageGroup group);

} // namespace quenda

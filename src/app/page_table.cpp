#include "app/page_table.h"

#include "pages/channel_page.h"
#include "pages/channel_rows_page.h"
#include "pages/config_page.h"
#include "pages/expert_page.h"
#include "pages/jmp_page.h"
#include "pages/geo_page.h"
#include "pages/page.h"
#include "pages/weather_page.h"
#include "schedule/chart_page.h"
#include "schedule/schedule_page.h"
#include "schedule/visualize_page.h"
#include "status/status_display.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QVBoxLayout>

namespace quenda {

namespace {
template <int FirstChannel>
Page* channels(const QString& name, const QString& caption, WindowServices& win, QWidget* parent) {
    return new ChannelPage(name, caption, FirstChannel, win, parent);
}

// A page class built as Page is: object name, caption, window, parent.
template <class P> Page* make(const QString& name, const QString& caption, WindowServices& win, QWidget* parent) {
    return new P(name, caption, win, parent);
}

// A page of twelve channel rows.
template <const ChannelRowsLayout& Rows>
Page* channelRows(const QString& name, const QString& caption, WindowServices& win, QWidget* parent) {
    return new ChannelRowsPage(Rows, name, caption, win, parent);
}

// The ratio lines of the status display sit in the page's cloud and thunderstorm groups.
Page* weather(const QString& name, const QString& caption, WindowServices& win, QWidget* parent) {
    auto* page = new WeatherPage(name, caption, win, parent);
    const WeatherRatiosBox box;
    page->placeRatioLabels(box.cloud(), box.storm());
    return page;
}

// The settings with the board status line and health picture below them.
Page* configuration(const QString& name, const QString& caption, WindowServices& win, QWidget* parent) {
    auto* page = new ConfigPage(name, caption, win, parent);
    page->addStatusBox(new BoardStatusBox(page));
    return page;
}

Page* messages(const QString& name, const QString& caption, WindowServices& win, QWidget* parent) {
    auto* page = new Page(name, caption, win, parent);
    auto* l = new QVBoxLayout(page);
    auto* mem = new QPlainTextEdit(page);
    mem->setObjectName(QStringLiteral("mem"));
    mem->setReadOnly(true);
    mem->setLineWrapMode(QPlainTextEdit::NoWrap);
    mem->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mem->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    l->addWidget(mem);
    return page;
}

using G = PageGroup;
constexpr PageEntry kPages[] = {
    {"tsChannels", "Channels A-F", G::Always, channels<0>},
    {"tsChannelsGL", "Channels G-L", G::Always, channels<6>},
    {"tsSchedule", "Schedule", G::Always, make<SchedulePage>},
    {"tsVisualize", "Visualization", G::Always, make<VisualizePage>},
    {"tsGeo", "Geo", G::Always, make<GeoPage>},
    {"tsConfig", "Configuration", G::Always, configuration},
    {"tsTemp", "Chart", G::Always, make<ChartPage>},
    {"tsWeather", "Weather", G::Always, weather},
    {"tsWeatherDelay", "Delays", G::Always, channelRows<kWeatherDelayRows>},
    {"tsMoon", "Moon", G::Always, channelRows<kMoonRows>},
    {"tsExpert", "Expert options", G::Expert, make<ExpertPage>},
    {"tsBalance", "White balance", G::Expert, make<BalancePage>},
    {"tsJMP", "JMP pin", G::Expert, make<JmpPage>},
    {"tsRC433", "433 MHz", G::RC433, make<Rc433Page>},
    {"tsMessages", "Messages", G::Always, messages},
};
} // namespace

std::span<const PageEntry> pageTable() { return kPages; }

QStringList pagesOf(PageGroup group) {
    QStringList out;
    for (const auto& p : kPages)
        if (p.group == group) out << QString::fromLatin1(p.name);
    return out;
}

} // namespace quenda

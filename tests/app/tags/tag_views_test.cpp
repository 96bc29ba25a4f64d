// What the tag pages open on request, against the virtual reader: the GS1 column from the
// list header's menu (remembered for every tag page), the chart window whose series hold
// exactly the list's counts, and the locate window; opened and closed while the reading runs,
// reached through accessibility actions as assistive tools reach them.
#include "kit/Accessible.h"
#include "page_test_kit.h"
#include "reader_model.h"
#include "tags/CDlgActiveTemp.h"
#include "tags/CIdentifyTab.h"
#include "tags/CLocateWindow.h"
#include "tags/CTagChartWindow.h"
#include "tags/CTagListView.h"

#include <QAccessible>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <ostream>

namespace {

using namespace std::chrono_literals;
using pagetest::waitUntil;

constexpr int fieldTags = 6;
constexpr int fieldAntennas = 2;

// Tag i on antenna 1 + i % 2, its RSSI 0xA0 + 8 i; sensor tags read 20 + i degrees.
void scriptField(readersim::VirtualReader &reader, bool sensors) {
    reader.withModel([sensors](readersim::ReaderModel &model) {
        for (std::size_t index = 0; index < model.tags.size(); ++index) {
            readersim::VirtualTag &tag = model.tags[index];
            tag.antenna = 1 + static_cast<int>(index) % fieldAntennas;
            tag.rssi = static_cast<std::uint8_t>(0xA0 + 8 * index);
            tag.temperatureSensor = sensors;
            if (sensors) tag.temperature = 20.0f + static_cast<float>(index);
        }
    });
}

void startPushing(readersim::VirtualReader &reader) {
    reader.withModel([](readersim::ReaderModel &model) {
        model.active.period = 2ms;
        model.active.batch = 1;
        model.enterActiveMode();
    });
}

// The accessibility press action, as AT-SPI's "Press" calls it.
void pressByAccessibility(QObject *control) {
    QAccessible::queryAccessibleInterface(control)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
}

// Presses a menu's entry through the menu's accessible children.
bool pressMenuEntry(QMenu *menu, const QString &name) {
    QAccessibleInterface *accessibleMenu = QAccessible::queryAccessibleInterface(menu);
    for (int child = 0; child < accessibleMenu->childCount(); ++child) {
        QAccessibleInterface *entry = accessibleMenu->child(child);
        if (entry->text(QAccessible::Name) != name) continue;
        entry->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        return true;
    }
    return false;
}

// The menu key over a widget (a keyboard user's context menu).
void menuKeyOver(QWidget *widget) {
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4),
                            widget->mapToGlobal(QPoint(4, 4)));
    QCoreApplication::sendEvent(widget, &event);
}

bool windowsGone(CTagListView &view) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return view.chart() == nullptr && view.locator() == nullptr;
}

// A tag page of one kind with what the tests need of it.
struct PageUnderTest {
    std::unique_ptr<CPage> page;
    const CTagListModel *list = nullptr;
    CTagListView *view = nullptr;
    bool active = false;
    // The list shows temperatures (the field then holds sensor tags).
    bool temperatures = false;
};

struct PageKind {
    const char *name;
    std::function<PageUnderTest(IMainWindowServices &)> make;
};

void PrintTo(const PageKind &kind, std::ostream *out) {
    *out << kind.name;
}

const PageKind pageKinds[] = {
    {"CIdentifyTab",
     [](IMainWindowServices &services) {
         auto page = std::make_unique<CIdentifyTab>(services, nullptr);
         CTagListView *view = &page->listView();
         const auto *list = static_cast<const CTagListModel *>(view->model());
         return PageUnderTest{std::move(page), list, view, false};
     }},
    {"CDlgActiveRead",
     [](IMainWindowServices &services) {
         auto page = std::make_unique<CDlgActiveRead>(services, nullptr);
         const CTagListModel *list = &page->tagList();
         CTagListView *view = &page->listView();
         return PageUnderTest{std::move(page), list, view, true};
     }},
    {"CDlgActiveTemp",
     [](IMainWindowServices &services) {
         auto page = std::make_unique<CDlgActiveTemp>(services, nullptr);
         const CTagListModel *list = &page->tagList();
         CTagListView *view = &page->listView();
         return PageUnderTest{std::move(page), list, view, true, true};
     }},
};

class TagViewsTest : public ::testing::TestWithParam<PageKind> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(session.isOpen());
        tested = GetParam().make(window);
        scriptField(session.virtualReader(), tested.temperatures);
        tested.page->show();
    }

    void start() {
        tested.page->findChild<QPushButton *>("startButton")->click();
        if (tested.active) startPushing(session.virtualReader());
        ASSERT_TRUE(waitUntil([&] { return tested.list->rowCount() == fieldTags; }));
    }

    std::int64_t sightings() const {
        std::int64_t sum = 0;
        for (int row = 0; row < tested.list->rowCount(); ++row)
            sum += tested.list->cellText(row, CTagListModel::Count).toLongLong();
        return sum;
    }

    // Sightings per antenna as the list counts them (each tag stays on its antenna).
    std::map<std::uint8_t, std::int64_t> sightingsByAntenna() const {
        std::map<std::uint8_t, std::int64_t> counts;
        for (int row = 0; row < tested.list->rowCount(); ++row) {
            const auto antenna = static_cast<std::uint8_t>(
                tested.list->cellText(row, CTagListModel::Antenna).toInt(nullptr, 16));
            counts[antenna] += tested.list->cellText(row, CTagListModel::Count).toLongLong();
        }
        return counts;
    }

    void selectRow(int row) {
        tested.view->selectionModel()->select(
            tested.list->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    pagetest::CVirtualReaderSession session{"fir", fieldTags};
    pagetest::CFakeMainWindow window{session.reader(), &session.facade()};
    PageUnderTest tested;
};

// Sightings by antenna, distinct tags and the selected tag's RSSI over a scripted field; the
// series hold exactly the list's counts once the reading stops.
TEST_P(TagViewsTest, ChartSeriesHoldTheListsCounts) {
    auto *chartButton = tested.page->findChild<QPushButton *>("chartButton");
    ASSERT_NE(chartButton, nullptr);
    EXPECT_EQ(pagetest::accessibleName(chartButton), window.text(Text::ChartButton));
    // The press action animates a click: the window opens a moment later.
    pressByAccessibility(chartButton);
    ASSERT_TRUE(waitUntil([&] { return tested.view->chart() != nullptr; }));
    CTagChartWindow *chart = tested.view->chart();
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(accessible::unnamedControls(chart).isEmpty());

    start();
    selectRow(0);
    const QString selectedEpc = tested.list->cellText(0, CTagListModel::Epc);
    EXPECT_EQ(chart->trackedEpcs(), QStringList{selectedEpc});
    ASSERT_TRUE(waitUntil([&] {
        return sightings() >= 200 && chart->rssiPointCount(selectedEpc) > 0 &&
               (!tested.temperatures || chart->temperaturePointCount(selectedEpc) > 0);
    }));
    tested.page->findChild<QPushButton *>("stopButton")->click();

    // The tag lines hold the tag's numbers, at seconds before now on the sightings chart's
    // axis.
    const int selectedRssi = tested.list->cellText(0, CTagListModel::Rssi).toInt(nullptr, 16);
    for (const QPointF &point : chart->rssiPointsShown(selectedEpc)) {
        EXPECT_EQ(point.y(), selectedRssi);
        EXPECT_TRUE(point.x() >= -CTagChartWindow::windowSeconds && point.x() <= 0) << point.x();
    }
    if (tested.temperatures) {
        QString reading = tested.list->cellText(0, CTagListModel::Temperature);
        reading.chop(1);  // "20.000000C"
        for (const QPointF &point : chart->temperaturePointsShown(selectedEpc))
            EXPECT_DOUBLE_EQ(point.y(), reading.toDouble());
    }
    const QList<QPointF> axes = chart->timeAxisRanges();
    ASSERT_EQ(axes.size(), tested.temperatures ? 3 : 2);
    for (const QPointF &range : axes) EXPECT_EQ(range, axes.front());
    EXPECT_LT(axes.front().x(), -CTagChartWindow::windowSeconds + 1);
    EXPECT_GT(axes.front().y(), 0);

    const auto expected = sightingsByAntenna();
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(fieldAntennas));
    const auto shownInStep = [&] {
        for (const auto &[antenna, count] : sightingsByAntenna())
            if (chart->sightingsShown(antenna) != count) return false;
        return true;
    };
    ASSERT_TRUE(waitUntil(shownInStep))
        << chart->sightingsShown(1) << " " << chart->sightingsShown(2);
    const QList<int> distinct = chart->distinctTagsShown();
    EXPECT_EQ(distinct.size(), CTagChartWindow::windowSeconds);
    EXPECT_GT(*std::max_element(distinct.begin(), distinct.end()), 0);
    EXPECT_LE(*std::max_element(distinct.begin(), distinct.end()), fieldTags);
    EXPECT_LE(chart->redrawCount(), static_cast<int>(sightings()));
}

// Locate from a row's menu while the reading runs; closing both windows leaves the list
// unwatched and the reading going.
TEST_P(TagViewsTest, LocateAndChartOpenAndCloseWhileReading) {
    start();
    constexpr int row = 3;
    selectRow(row);
    const int rssi = tested.list->cellText(row, CTagListModel::Rssi).toInt(nullptr, 16);
    menuKeyOver(tested.view->viewport());
    ASSERT_TRUE(tested.view->rowMenu()->isVisible());
    ASSERT_TRUE(pressMenuEntry(tested.view->rowMenu(), window.text(Text::LocateAction)));
    CLocateWindow *locator = tested.view->locator();
    ASSERT_NE(locator, nullptr);
    EXPECT_EQ(locator->epc(), tested.list->cellText(row, CTagListModel::Epc));
    EXPECT_TRUE(accessible::unnamedControls(locator).isEmpty());
    ASSERT_TRUE(waitUntil([&] {
        return locator->rssiShown() == rssi && locator->readsPerSecondShown() > 0 &&
               locator->rssiTextShown() == CLocateWindow::rssiText(rssi);
    }));
    EXPECT_TRUE(tested.list->isWatched());
    auto *audible = locator->findChild<QCheckBox *>("audibleTick");
    pagetest::toggleBy(audible, pagetest::ToggleWay::Accessibility);
    ASSERT_TRUE(waitUntil([&] { return locator->isTicking(); }));
    pagetest::toggleBy(audible, pagetest::ToggleWay::Accessibility);
    EXPECT_FALSE(locator->isTicking());

    tested.view->openChart();
    const std::int64_t before = sightings();
    ASSERT_TRUE(waitUntil([&] { return sightings() > before + 50; }));
    tested.view->chart()->close();
    locator->close();
    ASSERT_TRUE(waitUntil([&] { return windowsGone(*tested.view); }));
    EXPECT_FALSE(tested.list->isWatched());
    const std::int64_t afterClose = sightings();
    ASSERT_TRUE(waitUntil([&] { return sightings() > afterClose + 50; }));
}

// The RSSI in decimal, the list's hex beside it.
TEST(LocateWindow, ShowsTheRssiInDecimalWithItsHex) {
    EXPECT_EQ(CLocateWindow::rssiText(0xD0), "208 (D0)");
    EXPECT_EQ(CLocateWindow::rssiText(7), "7 (07)");
    EXPECT_EQ(CLocateWindow::rssiText(std::nullopt), "--");
}

// The tick quickens as the tag comes closer, within its bounds.
TEST(LocateWindow, TickQuickensWithTheRssi) {
    const int rssis[] = {0x00, 0x80, 0xA0, 0xC0, 0xE0, 0xF0, 0xFF};
    for (std::size_t index = 1; index < std::size(rssis); ++index)
        EXPECT_LE(CLocateWindow::tickInterval(rssis[index]),
                  CLocateWindow::tickInterval(rssis[index - 1]))
            << rssis[index];
    EXPECT_LT(CLocateWindow::tickInterval(0xF0), CLocateWindow::tickInterval(0x80));
    EXPECT_GT(CLocateWindow::tickInterval(0xFF).count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, TagViewsTest, ::testing::ValuesIn(pageKinds),
                         [](const auto &info) { return std::string(info.param.name); });

// The header's menu switches the column by mouse and by accessibility action; the switch is
// the window's one setting, which a page built later follows.
TEST(TagListGs1Column, HeaderMenuSwitchesItAndEveryPageFollowsTheSetting) {
    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow window(reader);
    CDlgActiveRead page(window, nullptr);
    page.show();
    CTagListView &view = page.listView();
    const CTagListModel &list = page.tagList();
    const int fixed = list.fixedColumnCount();
    ASSERT_EQ(list.columnCount(), fixed);
    const QString gs1 = window.text(Text::Gs1Column);
    // A mouse click on the menu entry, then the menu key and the entry's press action.
    const std::function<void()> ways[] = {
        [&] { view.findChild<QAction *>("gs1Action")->trigger(); },
        [&] {
            menuKeyOver(view.horizontalHeader()->viewport());
            ASSERT_TRUE(view.headerMenu()->isVisible());
            ASSERT_TRUE(pressMenuEntry(view.headerMenu(), gs1));
        },
    };
    for (const auto &switchColumn : ways) {
        switchColumn();
        EXPECT_TRUE(window.gs1ColumnShown);
        EXPECT_EQ(list.columnCount(), fixed + 1);
        EXPECT_EQ(list.headerData(fixed, Qt::Horizontal).toString(), gs1);
        {
            CIdentifyTab later(window, nullptr);
            EXPECT_TRUE(later.listView().model()->columnCount() > fixed);
        }
        switchColumn();
        EXPECT_FALSE(window.gs1ColumnShown);
        EXPECT_EQ(list.columnCount(), fixed);
    }
    accessible::nameControls(&page);
    EXPECT_TRUE(accessible::unnamedControls(&page).isEmpty());
}

}  // namespace

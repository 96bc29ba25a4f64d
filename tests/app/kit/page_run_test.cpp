// A page's reader operation: nothing while not connected; otherwise the page shows it is busy
// until the outcome comes back, and a page destroyed meanwhile is never called.
#include "kit/CPage.h"
#include "page_test_kit.h"

#include <QPushButton>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::waitUntil;

// A page with one operation: a reboot, its outcome handed to `done`.
class CRebootPage final : public CPage {
public:
    explicit CRebootPage(IMainWindowServices &services)
        : CPage(services, nullptr)
    {
        m_busy.addControl(button);
    }

    bool reboot(std::function<void(bool)> done)
    {
        return runWhileBusy(
            m_busy, [](IReader &reader) { return reader.reboot(); }, std::move(done));
    }

    QPushButton *button = new QPushButton(this);

private:
    CBusyState m_busy{this};
};

// The reader's reboot answers only once released.
struct HeldReboot {
    std::atomic<bool> released{false};

    explicit HeldReboot(CScriptedReader &reader)
    {
        reader.answerWith("reboot", [this](const pagetest::ReaderCall &) {
            while (!released)
                QThread::msleep(1);
            return std::optional<Bytes>(Bytes{});
        });
    }
};

TEST(PageRunTest, NothingRunsWhileNotConnected)
{
    CScriptedReader reader;
    CFakeMainWindow window(reader);
    window.connected = false;
    CRebootPage page(window);
    EXPECT_FALSE(page.reboot([](bool) {}));
    EXPECT_TRUE(page.button->isEnabled());
    EXPECT_FALSE(window.worker().isBusy());
    EXPECT_TRUE(reader.calls().empty());
}

TEST(PageRunTest, ThePageIsBusyUntilTheOutcomeComesBack)
{
    CScriptedReader reader;
    HeldReboot held(reader);
    CFakeMainWindow window(reader);
    CRebootPage page(window);
    std::optional<bool> outcome;
    bool busyAtOutcome = true;
    ASSERT_TRUE(page.reboot([&](bool succeeded) {
        outcome = succeeded;
        busyAtOutcome = !page.button->isEnabled();
    }));
    EXPECT_FALSE(page.button->isEnabled());
    EXPECT_EQ(page.cursor().shape(), Qt::BusyCursor);
    held.released = true;
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_TRUE(*outcome);
    EXPECT_FALSE(busyAtOutcome) << "the busy state ends before the outcome is shown";
    EXPECT_TRUE(page.button->isEnabled());
}

TEST(PageRunTest, APageDestroyedWhileItsJobRunsIsNeverCalled)
{
    CScriptedReader reader;
    HeldReboot held(reader);
    CFakeMainWindow window(reader);
    auto page = std::make_unique<CRebootPage>(window);
    bool calledAfterDestruction = false;
    ASSERT_TRUE(page->reboot([&](bool) { calledAfterDestruction = true; }));
    ASSERT_TRUE(waitUntil([&] { return !reader.calls().empty(); }));
    page.reset();
    held.released = true;
    // A later operation's outcome proves the earlier one has been delivered, or dropped.
    CRebootPage survivor(window);
    bool later = false;
    ASSERT_TRUE(survivor.reboot([&](bool) { later = true; }));
    ASSERT_TRUE(waitUntil([&] { return later; }));
    EXPECT_FALSE(calledAfterDestruction);
}

} // namespace

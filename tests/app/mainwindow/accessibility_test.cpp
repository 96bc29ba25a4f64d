// The program's own pages as an assistive tool sees them: every control that shows a caption is
// announced by the caption it shows after every action that changes one, on every page of
// every family; and opening a reader never waits for a version check that hangs.
#include "main_window_fixture.h"

#include "kit/CConfigStore.h"
#include "kit/CTextListModel.h"
#include "page_test_kit.h"
#include "pages.h"
#include "shell/CTab.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTcpServer>
#include <QTimer>

namespace mainwindowtest {

namespace {

QString accessibleName(QWidget *widget) {
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// Presses or toggles the control as an assistive tool does, or clicks it as a mouse does.
void press(QAbstractButton *button, bool throughAccessibility) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    if (!throughAccessibility) {
        button->click();
        return;
    }
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(accessible, nullptr);
    QAccessibleActionInterface *actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    const QString action =
        actions->actionNames().contains(QAccessibleActionInterface::toggleAction())
            ? QAccessibleActionInterface::toggleAction()
            : QAccessibleActionInterface::pressAction();
    actions->doAction(action);
}

// The longest time the event loop could not run, measured by a 20 ms timer.
class Heartbeat {
  public:
    Heartbeat() {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longestGap = std::max(m_longestGap, m_sinceBeat.restart()); });
        m_sinceBeat.start();
        m_timer.start(20);
    }
    qint64 longestGapMs() const { return m_longestGap; }

  private:
    QTimer m_timer;
    QElapsedTimer m_sinceBeat;
    qint64 m_longestGap = 0;
};

constexpr qint64 longestStallMs = 1000;

}  // namespace

class AccessibleNamesTest : public MainWindowTest {
  protected:
    // Every button, check box, radio button and group box with a caption is announced by it.
    void expectNamesFollowCaptions(const std::string &after) {
        for (QAbstractButton *button : window_->findChildren<QAbstractButton *>()) {
            QString caption = button->text();
            caption.remove(u'&');
            if (caption.trimmed().isEmpty()) continue;
            EXPECT_EQ(accessibleName(button).trimmed(), caption.trimmed())
                << "after " << after << ": " << button->objectName().toStdString();
        }
    }

    QWidget *currentPage() const { return window_->tabs()->currentWidget(); }

    template <typename Widget>
    Widget *onPage(const char *name) const {
        return currentPage()->findChild<Widget *>(QString::fromLatin1(name));
    }

    // Runs the page's own operation that changes captions, if it has one; alternates clicks and
    // accessibility actions.
    void startAndStopCurrentPage(const std::string &where) {
        auto *start = onPage<QAbstractButton>("startButton");
        auto *stop = onPage<QAbstractButton>("stopButton");
        if (start == nullptr || stop == nullptr) return;
        if (auto *port = onPage<QLineEdit>("portField")) port->setText(QString::number(freePort()));
        press(start, (++actions_ % 2) == 0);
        ASSERT_TRUE(waitUntil([&] { return stop->isEnabled(); })) << where;
        expectNamesFollowCaptions(where + " start");
        press(stop, (++actions_ % 2) == 0);
        ASSERT_TRUE(waitUntil([&] { return start->isEnabled(); })) << where;
        expectNamesFollowCaptions(where + " stop");
    }

    // The writer's automatic modes turn their button into a stop button and back.
    void runWriterModes(const std::string &where) {
        const struct {
            const char *box;
            const char *button;
        } modes[] = {{"epcAuto", "writeEpcButton"}, {"dataAuto", "writeButton"}};
        for (const auto &mode : modes) {
            auto *box = onPage<QCheckBox>(mode.box);
            auto *button = onPage<QAbstractButton>(mode.button);
            ASSERT_NE(box, nullptr) << where;
            ASSERT_NE(button, nullptr) << where;
            const QString idle = button->text();
            if (!box->isChecked()) press(box, true);
            ASSERT_TRUE(box->isChecked()) << where;
            press(button, (++actions_ % 2) == 0);
            ASSERT_TRUE(waitUntil([&] { return button->text() != idle; })) << where;
            expectNamesFollowCaptions(where + " " + mode.box + " running");
            // Between two steps of the mode the button takes presses again.
            ASSERT_TRUE(waitUntil([&] { return button->isEnabled(); })) << where;
            press(button, (++actions_ % 2) == 0);
            ASSERT_TRUE(waitUntil([&] { return button->text() == idle; })) << where;
            expectNamesFollowCaptions(where + " " + mode.box + " ended");
            press(box, true);
        }
    }

    static std::uint16_t freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }

    int actions_ = 0;
};

TEST_F(AccessibleNamesTest, NamesFollowCaptionsOnEveryPageOfEveryFamily) {
    createWindowWithPages(registeredPages());
    expectNamesFollowCaptions("start-up");
    for (const std::string family :
         {"fir", "hazel", "elm", "cedar", "cedar2", "birch", "birch2", "alder"}) {
        SCOPED_TRACE(family);
        auto reader = makeReader(family);
        openNetwork(reader->serveTcp(0));
        ASSERT_TRUE(window_->isConnected());
        expectNamesFollowCaptions(family + " connected");
        for (int tab = 0; tab < window_->tabs()->count(); ++tab) {
            window_->tabs()->setCurrentIndex(tab);
            const std::string where = family + " " + currentPage()->metaObject()->className();
            expectNamesFollowCaptions(where);
            startAndStopCurrentPage(where);
            if (onPage<QCheckBox>("epcAuto") != nullptr) runWriterModes(where);
        }
        pressClose();
        expectNamesFollowCaptions(family + " disconnected");
    }
}

// The update host accepts the connection and never answers: the welcome page's check waits
// for its time-out while a Fir reader is opened, which rebuilds the tabs, and while the
// window goes.
TEST_F(AccessibleNamesTest, OpeningAReaderNeverWaitsForAStalledVersionCheck) {
    QTcpServer stalledHost;  // the system accepts; nobody reads or answers
    ASSERT_TRUE(stalledHost.listen(QHostAddress::LocalHost));
    createWindow();  // writes the configuration file with its defaults
    window_.reset();
    ASSERT_TRUE(CConfigStore(configDir_.path())
                    .writeText(QStringLiteral("UpdateHost"),
                               QStringLiteral("127.0.0.1:%1").arg(stalledHost.serverPort())));
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);

    createWindowWithPages(registeredPages());
    const Heartbeat heartbeat;
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(window_->tabs()->count(), 6);
    EXPECT_LT(heartbeat.longestGapMs(), longestStallMs);

    QElapsedTimer destruction;
    destruction.start();
    window_.reset();
    EXPECT_LT(destruction.elapsed(), longestStallMs);
}

// Lines handed to a list in small batches during one pass of the event loop (as the message
// log's consumer does under a flood) reach the view, and through it assistive tools (one table
// change per insertion), as one insertion.
TEST(BurstInsertsTest, BatchesOfOnePassAreInsertedOnce) {
    CTextListModel model({{QStringLiteral("time")}, {QStringLiteral("text")}});
    int insertions = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
    constexpr int batches = 50;
    for (int batch = 0; batch < batches; ++batch)
        model.appendRowsThisTurn({{QStringLiteral("12:00:00"), QString::number(batch)}});
    EXPECT_TRUE(pagetest::waitUntil([&] { return model.rowCount() == batches; }));
    EXPECT_EQ(insertions, 1);
    for (int row = 0; row < batches; ++row) EXPECT_EQ(model.cellText(row, 1), QString::number(row));
}

}  // namespace mainwindowtest

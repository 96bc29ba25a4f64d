// A main window on a temporary configuration folder, with pages that count the hooks the tab
// control calls, and helpers to wait for what the window shows.
#pragma once

#include "kit/CPage.h"
#include "reader_family.h"
#include "shell/CPageFactory.h"
#include "shell/CTagDeskDlg.h"
#include "virtual_reader.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mainwindowtest {

using readerfamily::PageId;

// Stands for any page: counts the tab control's calls.
class CountingPage final : public CPage {
    Q_OBJECT

  public:
    CountingPage(IMainWindowServices &services, QWidget *parent);

    void stopWork() override { ++m_stops; }
    void readParameters() override { ++m_reads; }
    void showWrittenRecord(RecordKind kind, const ParamRecord &) override {
        m_written.push_back(kind);
    }
    int stops() const { return m_stops; }
    int reads() const { return m_reads; }
    // The kinds of the records a profile import handed the page, in order.
    const std::vector<RecordKind> &written() const { return m_written; }

  private:
    std::vector<RecordKind> m_written;
    int m_stops = 0;
    int m_reads = 0;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Constructs the window (after the test has set up its environment, e.g. QNHID_SIM). The
    // program's folder is programDirectory, or the shipped data folder when empty; data files
    // not found there come from the shipped data folder as the installed ones.
    void createWindow(const QString &programDirectory = QString());
    // The window with the program's own pages instead of counting ones.
    void createWindowWithPages(CPageFactory pages);
    // A virtual reader of this family ("fir", "alder", "0x11", ...).
    static std::unique_ptr<readersim::VirtualReader> makeReader(const std::string &family);

    // Chooses the network transport at 127.0.0.1:port and presses Open.
    void openNetwork(std::uint16_t port);
    void pressOpen();
    void pressClose();
    // Presses Open with nothing to open: one line, still closed, configuration untouched.
    void expectOpenDoesNothing();

    // Processes events until the condition holds or the deadline passes.
    static bool waitUntil(const std::function<bool()> &condition,
                          std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Posts a marker line and waits for it, so every line posted before is shown too.
    void flushMessages();

    QStringList messages() const;
    bool hasMessage(const QString &line) const;
    bool waitForMessage(const QString &line);
    // The lines of the run's log file, without their time prefix.
    QStringList logLines() const;
    // The configuration file as it is on disk.
    QByteArray configFile() const;
    QString configText(const QString &key) const;

    QStringList tabCaptions() const;
    CountingPage *page(readerfamily::PageId id) const;

    template <typename Widget>
    Widget *child(const char *name) const {
        Widget *found = window_->findChild<Widget *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString fieldText(const char *name) const;
    bool isEnabled(const char *name) const;

    QString text(int key) const { return window_->text(key); }

    QTemporaryDir configDir_;
    std::unique_ptr<CTagDeskDlg> window_;
    int markers_ = 0;
};

}  // namespace mainwindowtest

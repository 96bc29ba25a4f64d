// The message log under a steady stream of lines: 10 000 lines a second for 10 seconds
// (arguments: lines per second, seconds) posted from another thread into the main window.
// Measured: every line in the log file and in order, the event loop's stall (a 5 ms timer's
// lateness, p50/p99/max), memory, and beside it the one-line-per-millisecond consumer that
// takes a single line per pass, whose backlog grows without bound at this rate.
#include "event_loop_probe.h"
#include "kit/CTextListModel.h"
#include "shell/CAppPaths.h"
#include "shell/CLogFile.h"
#include "shell/CPageFactory.h"
#include "shell/CTagDeskDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    int linesPerSecond = 10000;
    int seconds = 10;
    int total() const { return linesPerSecond * seconds; }
};

// Posts `total` numbered lines at the given rate, in steps of one millisecond.
template <typename Post>
void postSteadily(const Settings &settings, Post post) {
    const int perMillisecond = std::max(1, settings.linesPerSecond / 1000);
    auto next = Clock::now();
    for (int line = 0; line < settings.total();) {
        for (int step = 0; step < perMillisecond && line < settings.total(); ++step, ++line)
            post(QStringLiteral("bench line %1").arg(line));
        next += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(next);
    }
}

// Lines of every log file in the folder, oldest file first, without their time prefix.
QStringList logLines(const QString &folder) {
    QStringList lines;
    for (const QFileInfo &entry :
         QDir(folder).entryInfoList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(entry.filePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = file.readAll();
        QString text;
        for (qsizetype index = 2; index + 1 < bytes.size(); index += 2)
            text.append(QChar(char16_t(quint8(bytes[index + 1]) << 8 | quint8(bytes[index]))));
        for (const QString &line : text.split(u'\n')) {
            const qsizetype start = line.indexOf(QStringLiteral("] "));
            if (start >= 0) lines.append(line.mid(start + 2));
        }
    }
    return lines;
}

void measureMainWindow(const Settings &settings) {
    QTemporaryDir configDir;
    CTagDeskDlg window(CAppPaths::forProgramDirectory(configDir.path()),
                       CDataFiles(QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR),
                                  QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR)),
                       CPageFactory());
    window.show();
    CEventLoopProbe probe;
    probe.start();

    const auto started = Clock::now();
    std::thread poster(
        [&] { postSteadily(settings, [&](const QString &line) { window.postLog(line); }); });
    const QString last = QStringLiteral("bench line %1").arg(settings.total() - 1);
    const CTextListModel *list = window.messages();
    while (list->rowCount() == 0 || list->cellText(list->rowCount() - 1, 1) != last)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    poster.join();
    probe.stop();

    const QStringList file =
        logLines(QFileInfo(window.services().logFile().currentFilePath()).path());
    bool inOrder = file.size() == settings.total();
    for (int line = 0; inOrder && line < settings.total(); ++line)
        inOrder = file[line] == QStringLiteral("bench line %1").arg(line);
    std::printf("batched consumer: %d lines in %.2f s; log file %lld lines, %s; list %d rows\n",
                settings.total(), seconds, static_cast<long long>(file.size()),
                inOrder ? "complete and in order" : "INCOMPLETE OR OUT OF ORDER", list->rowCount());
    std::printf("  event-loop stall (5 ms probe lateness): p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                probe.stallMs(0.5), probe.stallMs(0.99), probe.stallMs(1.0));
    std::printf("  memory: resident %ld KiB, peak %ld KiB\n", residentKilobytes(),
                peakResidentKilobytes());
}

// One line per pass, a pass every millisecond, each line written to the log file on its own.
void measureOneLinePerMillisecond(const Settings &settings) {
    QTemporaryDir folder;
    CLogFile logFile(folder.path());
    std::mutex mutex;
    std::deque<QString> queue;
    std::atomic<bool> running{true};
    std::atomic<int> delivered{0};
    std::thread consumer([&] {
        while (running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            QString line;
            {
                std::lock_guard lock(mutex);
                if (queue.empty()) continue;
                line = std::move(queue.front());
                queue.pop_front();
            }
            logFile.appendLine(line);
            ++delivered;
        }
    });
    postSteadily(settings, [&](const QString &line) {
        std::lock_guard lock(mutex);
        queue.push_back(line);
    });
    running = false;
    consumer.join();
    std::size_t backlog = 0;
    {
        std::lock_guard lock(mutex);
        backlog = queue.size();
    }
    std::printf(
        "one line per millisecond: %d of %d lines delivered while posting, backlog %zu "
        "(grows by about %d lines a second)\n",
        delivered.load(), settings.total(), backlog,
        settings.linesPerSecond - delivered.load() / std::max(1, settings.seconds));
}

}  // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Settings settings;
    if (argc > 1) settings.linesPerSecond = std::max(1, std::atoi(argv[1]));
    if (argc > 2) settings.seconds = std::max(1, std::atoi(argv[2]));
    std::printf("message log: %d lines/s for %d s\n", settings.linesPerSecond, settings.seconds);
    measureMainWindow(settings);
    measureOneLinePerMillisecond(settings);
    return 0;
}

#pragma once

#include "profile/profile_transfer.h"
#include "reader/IReader.h"
#include "text_keys.h"

#include <QDateTime>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

class IMainWindowServices;

// The main window's profile buttons. Export reads every record the connected reader has and
// saves them as a device profile; import loads a profile, writes the records it holds from a
// read to the connected reader (which keeps its own MAC address) and lets the pages show what
// was written. The reader calls run on the reader worker; the file chooser and message boxes
// go through the main window's prompts.
class CProfileActions : public QObject {
    Q_OBJECT

public:
    // Shows a written record on the pages that show it.
    using ShowRecord = std::function<void(RecordKind kind, const ParamRecord &record)>;

    CProfileActions(IMainWindowServices &services, ShowRecord show, QObject *parent = nullptr);

    // The creation time of the next export (tests hand in a fixed one).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // Both do nothing while no reader is connected or one of them is still running.
    void exportProfile();
    void importProfile();
    bool isRunning() const { return m_running; }

signals:
    // An export or import started (true) or ended, whatever its outcome (false).
    void runningChanged(bool running);

private:
    // On the reader worker; each posts its outcome after the command's traffic lines.
    std::optional<deviceprofile::Records> readRecords(IReader &reader, std::uint8_t deviceType);
    std::optional<deviceprofile::Written> writeRecords(
        IReader &reader, const deviceprofile::Records &profile, std::uint8_t deviceType);
    void saveProfile(const deviceprofile::Records &records);
    bool begin();
    void end();
    void tell(const QString &body);
    void postLog(Text key);

    IMainWindowServices &m_services;
    ShowRecord m_show;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
    bool m_running = false;
};

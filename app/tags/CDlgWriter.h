#pragma once

#include "tags/CIdentifyTab.h"

#include <QTimer>

#include <chrono>
#include <cstdint>

class QCheckBox;

// The writer page: the answer-mode inventory page for programming tags one after another.
// Its write-EPC and write buttons also start and stop two automatic modes, run one step at a
// time on the reader worker: automatic EPC writing gives each new tag in the field the next
// EPC of a counting sequence, automatic data writing puts the write data into every tag that
// does not hold it yet. The relay is off while a mode runs; after a single write to the
// Reserved bank the new access password can be locked.
class CDlgWriter final : public CIdentifyTab {
    Q_OBJECT

public:
    enum class Mode { Idle, Epc, Data };

    // The lock code sent after writing a new access password.
    static constexpr std::uint8_t passwordLockCode = 3;
    static constexpr std::chrono::milliseconds firstStepDelay { 200 };
    static constexpr std::chrono::milliseconds nextStepDelay { 10 };

    CDlgWriter(IMainWindowServices &services, QWidget *parent);

    // The stop button, tab change and Close: ends the inventory and either automatic mode
    // (the relay stays as it is).
    void stopWork() override;

    Mode mode() const { return m_mode; }
    bool locksPassword() const { return m_lockPassword; }
    bool increments() const { return m_increment; }

    // The EPC that follows a hex text in the counting sequence: its whole bytes plus one,
    // big-endian, a carry out of the first byte lost ("FFFF" -> "0000"); an odd last digit is
    // dropped.
    static QString nextEpc(QStringView epcText);

private:
    // What one automatic step did.
    enum class Outcome { Nothing, Written, Failed };
    struct StepResult {
        Outcome outcome = Outcome::Nothing;
        // The EPC written, for the next one in the sequence.
        QString epc;
    };

    void addBoxes();
    void writeEpcClicked();
    void writeClicked();
    void startMode(Mode mode);
    void endModeByButton();
    void endMode();
    void showMode();
    void stepDue();
    void runStep();
    void stepDone(Mode mode, std::uint64_t run, const StepResult &result);
    // The steps run on the reader worker with what the page handed them.
    static StepResult epcStep(
        IReader &reader, const AccessPassword &password, const QString &fieldEpc);
    static StepResult dataStep(IReader &reader, const AccessPassword &password, std::uint8_t bank,
        std::uint8_t startWord, const QString &data);
    void advanceEpc(const QString &written);
    void postOutcome(bool succeeded);

    QCheckBox *m_epcAutoBox = nullptr;
    QCheckBox *m_incrementBox = nullptr;
    QCheckBox *m_dataAutoBox = nullptr;
    QCheckBox *m_lockBox = nullptr;
    bool m_increment = false;
    bool m_epcAuto = false;
    bool m_dataAuto = false;
    bool m_lockPassword = false;

    Mode m_mode = Mode::Idle;
    // Bumped by every start and end of a mode: a step of an earlier run schedules nothing.
    std::uint64_t m_run = 0;
    QTimer m_stepTimer;
    bool m_stepRunning = false;
    // The timer expired while a step of an earlier run was still on the worker.
    bool m_stepWaiting = false;
    // Taken from the fields when a mode starts.
    AccessPassword m_password {};
    std::uint8_t m_startWord = 0;
    QString m_data;
};

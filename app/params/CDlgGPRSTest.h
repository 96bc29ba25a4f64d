#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"

#include <cstdint>
#include <optional>

class QGridLayout;
class QLineEdit;

// Diagnostics of a reader's GPRS modem: the SIM card state, the signal report and the cell
// location, each shown as text beside its button. The queries run on the reader worker.
class CDlgGPRSTest final : public CPage {
    Q_OBJECT

public:
    CDlgGPRSTest(IMainWindowServices &services, QWidget *parent);

    // The operator's queries; each does nothing while the main window is not connected.
    void querySimState();
    void querySignal();
    void queryCellLocation();

    // Language text of a SIM state byte; none for a state without text.
    static std::optional<Text> simStateTextKey(std::uint8_t state);

private:
    QLineEdit *addQuery(QGridLayout *grid, int row, const char *name, const QString &caption,
        void (CDlgGPRSTest::*query)());
    void showAnswer(QLineEdit *edit, const QString &answer);

    CBusyState m_busy { this };
    QLineEdit *m_simState = nullptr;
    QLineEdit *m_signal = nullptr;
    QLineEdit *m_cellLocation = nullptr;
};

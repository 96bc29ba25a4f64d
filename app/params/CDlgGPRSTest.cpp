#include "params/CDlgGPRSTest.h"

#include "params/RecordText.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace {

const QString cellLocationHint
    = QStringLiteral("0,<mcc>,<mnc>,<lac>,<cellid>,<bcch>,<bsic>,<dbm>.....");

struct SimStateText {
    std::uint8_t state;
    Text textKey;
};
constexpr std::array<SimStateText, 5> simStateTexts { { { 0, Text::SimStateNoCard },
    { 1, Text::SimStateReady }, { 16, Text::SimStateSearching }, { 17, Text::SimStateRegistered },
    { 18, Text::SimStateServerConnected } } };

} // namespace

CDlgGPRSTest::CDlgGPRSTest(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
{
    setObjectName(QStringLiteral("CDlgGPRSTest"));
    auto *grid = new QGridLayout;
    m_simState = addQuery(
        grid, 0, "simState", caption(Text::SimStateButton, "状态"), &CDlgGPRSTest::querySimState);
    m_signal = addQuery(
        grid, 1, "signal", caption(Text::GprsSignalButton, "GPRS信号"), &CDlgGPRSTest::querySignal);
    m_cellLocation = addQuery(grid, 2, "cellLocation", caption(Text::CellLocationButton, "LBS"),
        &CDlgGPRSTest::queryCellLocation);
    auto *hint = new QLabel(cellLocationHint, this);
    hint->setObjectName(QStringLiteral("cellLocationHint"));
    grid->addWidget(hint, 3, 1);
    grid->setColumnStretch(1, 1);
    auto *page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addStretch(1);
}

QLineEdit *CDlgGPRSTest::addQuery(QGridLayout *grid, int row, const char *name,
    const QString &caption, void (CDlgGPRSTest::*query)())
{
    const QString base = QString::fromLatin1(name);
    QPushButton *button = addBusyButton(
        m_busy, (base + QStringLiteral("Button")).toLatin1().constData(), caption, query);
    auto *edit = new QLineEdit(this);
    edit->setObjectName(base + QStringLiteral("Edit"));
    edit->setReadOnly(true);
    edit->setAccessibleName(caption);
    grid->addWidget(button, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

std::optional<Text> CDlgGPRSTest::simStateTextKey(std::uint8_t state)
{
    for (const SimStateText &each : simStateTexts)
        if (each.state == state)
            return each.textKey;
    return std::nullopt;
}

void CDlgGPRSTest::showAnswer(QLineEdit *edit, const QString &answer)
{
    edit->setText(answer);
    edit->setCursorPosition(0);
}

void CDlgGPRSTest::querySimState()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.simState(); },
        [this](const std::optional<std::uint8_t> &state) {
            if (!state) {
                log(Text::OperationFailed);
                return;
            }
            const std::optional<Text> key = simStateTextKey(*state);
            showAnswer(m_simState, key ? text(*key) : QString());
        });
}

void CDlgGPRSTest::querySignal()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.gprsSignal(); },
        [this](const std::optional<std::array<std::uint8_t, 8>> &signal) {
            if (!signal) {
                log(Text::OperationFailed);
                return;
            }
            showAnswer(m_signal, recordtext::fromField(*signal));
        });
}

void CDlgGPRSTest::queryCellLocation()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.cellLocation(); },
        [this](const std::optional<std::array<std::uint8_t, 64>> &location) {
            if (!location) {
                log(Text::OperationFailed);
                return;
            }
            showAnswer(m_cellLocation, recordtext::fromField(*location));
        });
}

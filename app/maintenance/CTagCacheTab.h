#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"

class QLabel;
class QPlainTextEdit;

// The maintenance window's tag cache tab: the records the reader keeps in its own cache, read
// as a record count, a byte length and the bytes in hex rows of 16; cleared after a
// confirmation; the hex saved to a text file off the user-interface thread.
class CTagCacheTab final : public CPage {
    Q_OBJECT

public:
    CTagCacheTab(IMainWindowServices &services, QWidget *parent);

    void readCache();
    void clearCache();
    void exportHex();

    // Rows of 16 bytes, each "offset: spaced hex" with a four-digit hex offset.
    static QString hexRows(const Bytes &bytes);
    QString shownHex() const;
    bool isBusy() const { return m_busy.isBusy(); }

private:
    void logFailure();

    CBusyState m_busy { this };
    QLabel *m_summary = nullptr;
    QPlainTextEdit *m_hex = nullptr;
};

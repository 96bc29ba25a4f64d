#pragma once

#include "kit/CBusyState.h"
#include "kit/IReader.h"

#include <QWidget>

#include <functional>

class IMainWindowServices;
class QComboBox;
class QLineEdit;
class QPushButton;

// The tag memory access controls of the tag pages: quick-write of an EPC, and reading and
// writing a range of words of a memory bank of the tag in the field. Input is hex text typed
// in capitals; results go to the data-returned field or, as one line, to the message log.
// Reader calls run on the reader worker while the page shows that it is busy.
class CTagAccess : public QWidget
{
    Q_OBJECT

public:
    // A modal notice with an OK button; tests answer it without a dialog.
    using Notice = std::function<void(const QString &caption, const QString &body)>;

    static constexpr int captionText = 1019;
    static constexpr int failedText = 1022;
    static constexpr int doneText = 1023;
    static constexpr int epcEmptyText = 1029;
    static constexpr int notWholeWordsText = 1030;
    static constexpr int dataEmptyText = 1031;

    CTagAccess(IMainWindowServices &services, QWidget *page);

    void setNotice(Notice notice) { m_notice = std::move(notice); }
    // The page's inventory disables the three buttons while it runs.
    void setButtonsEnabled(bool enabled);
    // Other controls that must wait while a tag operation runs (the page's start button).
    void addBusyControl(QWidget *control) { m_busy.addControl(control); }

    void read();
    void write();
    void writeEpc();

    // Four bytes from the left of the hex text, the rest zero.
    static AccessPassword passwordOf(QStringView text);

private:
    void buildLayout();
    QWidget *buildEpcGroup();
    QWidget *buildMemoryGroup();
    QLineEdit *addHexField(const char *name, const QString &initial, int maxLength);
    QString caption(int key, const char *layoutCaption) const;
    void notify(int bodyKey);
    void postOutcome(bool succeeded);

    IMainWindowServices &m_services;
    CBusyState m_busy;
    Notice m_notice;
    QLineEdit *m_epc = nullptr;
    QComboBox *m_bank = nullptr;
    QLineEdit *m_start = nullptr;
    QLineEdit *m_length = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_data = nullptr;
    QLineEdit *m_result = nullptr;
    QPushButton *m_writeEpcButton = nullptr;
    QPushButton *m_writeButton = nullptr;
    QPushButton *m_readButton = nullptr;
};

#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "reader/IReader.h"
#include "text_keys.h"

#include <functional>

class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;

// The tag memory access controls of the tag pages: quick-write of an EPC, and reading and
// writing a range of words of a memory bank of the tag in the field. Input is hex text typed
// in capitals; results go to the data-returned field or, as one line, to the message log.
// Reader calls run on the reader worker while the page shows that it is busy.
class CTagAccess : public CPage {
    Q_OBJECT

public:
    // A modal notice with an OK button; tests answer it without a dialog.
    using Notice = std::function<void(const QString &caption, const QString &body)>;

    CTagAccess(IMainWindowServices &services, QWidget *page);

    void setNotice(Notice notice) { m_notice = std::move(notice); }
    // The page's inventory disables the three buttons while it runs.
    void setButtonsEnabled(bool enabled);
    // Other controls that must wait while a tag operation runs (the page's start button).
    void addBusyControl(QWidget *control) { m_busy.addControl(control); }

    // Runs on the reader worker after a successful write, in the same job; false makes the
    // operation fail.
    using AfterWrite = std::function<bool(IReader &reader)>;

    void read();
    void write(AfterWrite afterWrite = {});
    // `succeeded` runs on the user-interface thread after a successful EPC write.
    void writeEpc(std::function<void()> succeeded = {});

    // The input checks of the two writes: false after showing the notice.
    bool checkEpc();
    bool checkData();

    // A page that gives the write and write-EPC buttons roles of its own (the writer page's
    // automatic modes) takes their clicks; write() and writeEpc() stay the single writes.
    void takeWriteButtons(std::function<void()> write, std::function<void()> writeEpc);
    QPushButton *writeButton() const { return m_writeButton; }
    QPushButton *writeEpcButton() const { return m_writeEpcButton; }
    QPushButton *readButton() const { return m_readButton; }
    // Controls of the page placed after the quick-write EPC, write-data or password field.
    void addBesideEpc(QWidget *control);
    void addBesideData(QWidget *control);
    void addBesidePassword(QWidget *control);

    // The fields as the operations read them.
    QString epcText() const;
    void setEpcText(const QString &text);
    QString dataText() const;
    QString passwordText() const;
    AccessPassword password() const;
    std::uint8_t bank() const;
    std::uint8_t startWord() const;

    // Four bytes from the left of the hex text, the rest zero.
    static AccessPassword passwordOf(QStringView text);
    // Whole 16-bit words of a hex text.
    static std::uint8_t wordsOf(const QString &hexText);

signals:
    void bankChanged(int bank);

private:
    void buildLayout();
    QWidget *buildEpcGroup();
    QWidget *buildMemoryGroup();
    QLineEdit *addHexField(const char *name, const QString &initial, int maxLength);
    void notify(Text body);
    void postOutcome(bool succeeded);

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
    QHBoxLayout *m_epcRow = nullptr;
    QHBoxLayout *m_dataRow = nullptr;
    QHBoxLayout *m_passwordRow = nullptr;
    std::function<void()> m_writeClicked;
    std::function<void()> m_writeEpcClicked;
};

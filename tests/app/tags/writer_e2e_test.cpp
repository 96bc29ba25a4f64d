// The writer page end to end against the virtual reader over TCP: tags passing through the
// field one after another in automatic EPC mode, the relay, and a new access password locked.
#include "page_test_kit.h"
#include "reader_model.h"
#include "tags/CDlgWriter.h"
#include "tags/CTagAccess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CVirtualReaderSession;
using pagetest::waitUntil;

template <typename Widget>
Widget *child(QWidget &page, const char *name) {
    return page.findChild<Widget *>(QString::fromLatin1(name));
}

TEST(WriterEndToEnd, TagsPassingOneByOneGetConsecutiveEpcs) {
    CVirtualReaderSession session("fir", 0);
    ASSERT_TRUE(session.isOpen());
    readersim::FieldPasses line;
    for (std::uint8_t tag = 1; tag <= 3; ++tag)
        line.coming.emplace_back(Bytes{0xE2, 0x00, 0x00, 0x17, 0x00, tag});
    // Seen before the write, after it, and once more; then an empty field.
    line.looksEach = 3;
    line.gapLooks = 2;
    session.virtualReader().withModel([&](readersim::ReaderModel &model) {
        model.relayClosed = true;
        model.scriptPasses(line);
    });
    CFakeMainWindow window(session.reader(), &session.facade());
    CDlgWriter page(window, nullptr);
    const auto model = [&](const std::function<void(readersim::ReaderModel &)> &look) {
        session.virtualReader().withModel(look);
    };

    child<QCheckBox>(page, "epcAuto")->click();
    child<QPushButton>(page, "writeEpcButton")->click();
    ASSERT_EQ(page.mode(), CDlgWriter::Mode::Epc);
    std::vector<Bytes> passed;
    bool relayClosed = true;
    ASSERT_TRUE(waitUntil([&] {
        model([&](readersim::ReaderModel &reader) {
            passed.clear();
            for (const readersim::VirtualTag &tag : reader.passes()->passed)
                passed.push_back(tag.epc());
            relayClosed = reader.relayClosed;
        });
        return passed.size() == 3;
    }));
    EXPECT_FALSE(relayClosed);  // off while the mode runs
    for (std::uint8_t last : {0xBB, 0xBC, 0xBD})
        EXPECT_EQ(passed[last - 0xBB],
                  (Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, last}));
    EXPECT_EQ(child<QLineEdit>(page, "quickEpc")->text(), "00112233445566778899AABE");
    EXPECT_EQ(window.logLines().count(window.text(1023)), 3);

    child<QPushButton>(page, "writeEpcButton")->click();
    ASSERT_EQ(page.mode(), CDlgWriter::Mode::Idle);
    ASSERT_TRUE(waitUntil([&] {
        model([&](readersim::ReaderModel &reader) { relayClosed = reader.relayClosed; });
        return relayClosed;
    }));
}

TEST(WriterEndToEnd, ANewAccessPasswordIsLockedAndTheEpcStaysWritable) {
    CVirtualReaderSession session("fir", 1);
    ASSERT_TRUE(session.isOpen());
    CFakeMainWindow window(session.reader(), &session.facade());
    CDlgWriter page(window, nullptr);
    child<QComboBox>(page, "bank")->setCurrentIndex(0);
    child<QCheckBox>(page, "autoLockPass")->click();
    child<QLineEdit>(page, "writeData")->setText(QStringLiteral("1234ABCD"));
    child<QPushButton>(page, "writeButton")->click();
    ASSERT_TRUE(window.waitForLog(window.text(1023)));

    readersim::Password password{};
    readersim::LockState passwordLock{}, epcLock{};
    session.virtualReader().withModel([&](readersim::ReaderModel &reader) {
        password = reader.tags[0].accessPassword();
        passwordLock = reader.tags[0].lockState(readersim::LockArea::AccessPassword);
        epcLock = reader.tags[0].lockState(readersim::LockArea::Epc);
    });
    EXPECT_EQ(password, (readersim::Password{0x12, 0x34, 0xAB, 0xCD}));
    EXPECT_EQ(passwordLock, readersim::LockState::Secured);
    EXPECT_EQ(epcLock, readersim::LockState::Open);

    // Reading the password back now needs it.
    child<QLineEdit>(page, "startAddress")->setText(QStringLiteral("02"));
    child<QLineEdit>(page, "wordCount")->setText(QStringLiteral("02"));
    ASSERT_TRUE(waitUntil([&] { return child<QPushButton>(page, "readButton")->isEnabled(); }));
    child<QPushButton>(page, "readButton")->click();
    ASSERT_TRUE(window.waitForLog(window.text(1022)));
    child<QLineEdit>(page, "accessPassword")->setText(QStringLiteral("1234ABCD"));
    ASSERT_TRUE(waitUntil([&] { return child<QPushButton>(page, "readButton")->isEnabled(); }));
    child<QPushButton>(page, "readButton")->click();
    ASSERT_TRUE(
        waitUntil([&] { return child<QLineEdit>(page, "dataReturned")->text() == "1234ABCD"; }));
}

}  // namespace

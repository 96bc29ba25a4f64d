// QnReader frame scanner: the handles' receive parser for byte streams a program reads itself.
#include <new>

#include "QnReader.h"
#include "command_table.h"
#include "frame.h"

static_assert(QN_COMMAND_ACTIVE_REPORT == static_cast<int>(qn::Command::ActiveReport));

struct QnFrameScanner {
    qn::ReceiveParser parser;
};

namespace {

void describe(const qn::ReceiveParser &parser, QnFrame &frame) {
    const uint8_t *bytes = parser.frame();
    const auto count = static_cast<size_t>(parser.count());
    frame.address = bytes[qn::kResponseAddressOffset];
    frame.command = bytes[qn::kResponseCommandOffset];
    frame.status = bytes[qn::kResponseStatusOffset];
    frame.length = qn::lengthField(bytes);
    frame.data = bytes + qn::kResponseDataOffset;
    frame.dataSize = count > qn::kResponseDataOffset ? count - qn::kResponseDataOffset : 0;
}

}  // namespace

extern "C" {

QN_API QnFrameScanner *QnReader_NewFrameScanner(void) {
    return new (std::nothrow) QnFrameScanner;
}

QN_API void QnReader_FreeFrameScanner(QnFrameScanner *scanner) {
    delete scanner;
}

QN_API int QnReader_ScanFrame(QnFrameScanner *scanner, const uint8_t *bytes, size_t size,
                              size_t *taken, QnFrame *frame) {
    if (taken) *taken = 0;
    if (!scanner || !taken || !frame || (!bytes && size > 0)) return 0;
    for (size_t i = 0; i < size; ++i) {
        if (scanner->parser.feed(bytes[i])) {
            scanner->parser.clearFrameReady();
            *taken = i + 1;
            describe(scanner->parser, *frame);
            return 1;
        }
    }
    *taken = size;
    return 0;
}

}  // extern "C"

// QnComApi exports: the serial transport behind the shared command set.
#include <string>

#include "QnComApi.h"
#include "link.h"
#include "port_name.h"
#include "serial_transport.h"

namespace {

qn::SerialTransport &serialTransport() {
    static qn::SerialTransport transport;
    return transport;
}

qn::Link &libraryLink() {
    static qn::Link link(serialTransport());
    return link;
}

}  // namespace

extern "C" {

QN_API int QnCom_OpenDevice(const char *portName, int32_t baudRate) {
    if (!portName) return 0;
    const std::string path = qn::devicePathForPortName(qn::dropTrailingNonDigit(portName));
    if (path.empty()) return 0;
    serialTransport().setTarget(path, baudRate);
    return libraryLink().open() ? 1 : 0;
}

QN_API void QnCom_CloseDevice(void) {
    libraryLink().close();
}

QN_API uint8_t QnCom_SetParity(uint8_t parity) {
    return serialTransport().setParity(parity);
}

QN_API uint8_t QnCom_SetDeviceRDAddr(uint8_t addr) {
    libraryLink().setReaderAddress(addr);
    return addr;
}

QN_API uint8_t QnCom_ReadDeviceRDAddr(void) {
    return libraryLink().readerAddress();
}

}  // extern "C"

#define QN_FN(name) QnCom_##name
#include "exports.inc"
#include "tag_buffer_exports.inc"
#undef QN_FN

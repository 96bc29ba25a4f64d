// QnComApi exports: the serial transport behind the shared command set.
#include <string>

#include "QnComApi.h"
#include "port_name.h"
#include "serial_transport.h"

namespace {

qn::SerialTransport &libraryTransport() {
    static qn::SerialTransport transport;
    return transport;
}

}  // namespace

#define QN_FN(name) QnCom_##name
#include "plain_exports.inc"
#include "tag_buffer_exports.inc"

extern "C" {

QN_API int QnCom_OpenDevice(const char *portName, int32_t baudRate) {
    if (!portName) return 0;
    const std::string path = qn::devicePathForPortName(qn::dropTrailingNonDigit(portName));
    if (path.empty()) return 0;
    libraryTransport().setTarget(path, baudRate);
    return libraryLink().open() ? 1 : 0;
}

QN_API void QnCom_CloseDevice(void) {
    libraryLink().close();
}

QN_API uint8_t QnCom_SetParity(uint8_t parity) {
    return libraryTransport().setParity(parity);
}

QN_API uint8_t QnCom_SetDeviceRDAddr(uint8_t addr) {
    libraryLink().setReaderAddress(addr);
    return addr;
}

QN_API uint8_t QnCom_ReadDeviceRDAddr(void) {
    return libraryLink().readerAddress();
}

}  // extern "C"

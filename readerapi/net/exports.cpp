// QnNetApi exports: the TCP client transport behind the shared command set.
#include "QnNetApi.h"
#include "net_transport.h"

namespace {

qn::NetTransport &libraryTransport() {
    static qn::NetTransport transport;
    return transport;
}

}  // namespace

#define QN_FN(name) QnNet_##name
#include "plain_exports.inc"

extern "C" {

QN_API int QnNet_OpenDevice(const char *ipAddress, uint16_t port) {
    // Bad text or port 0 fails at once and leaves an open connection as it is.
    const auto endpoint = qn::parseEndpoint(ipAddress, port);
    if (!endpoint) return 0;
    libraryTransport().setTarget(*endpoint);
    return libraryLink().open() ? 1 : 0;
}

QN_API void QnNet_CloseDevice(void) {
    libraryLink().close();
}

}  // extern "C"

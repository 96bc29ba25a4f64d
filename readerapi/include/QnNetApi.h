/*
 * QnNetApi: the reader protocol over TCP/IP. The reader listens; the library connects to
 * it as a client and speaks the request/response protocol over the stream.
 *
 * Calling order: register callbacks (optional), QnNet_OpenDevice, commands one at a time,
 * QnNet_CloseDevice. See QnReaderTypes.h for return codes, threads and callbacks.
 *
 * Addresses: dotted IPv4 text only ("192.168.1.100"); host names are not looked up. Text in
 * any other form, a NULL text or port 0 fails at once without touching the connection.
 * The connect waits at most 1.5 s for the reader to take it; a refused or unreachable
 * reader fails the open. Writes never raise SIGPIPE.
 *
 * Frames carry the reader address 0xFF and answers are not matched by address: the addr
 * argument of every command is accepted and not used. This library has no tag buffer and
 * no parity or reader-address functions: active-mode reports reach the application
 * callback only.
 *
 * Each command waits its poll count times 5 ms for the answer (100 polls: 500 ms).
 *
 * While a callback is registered, a lost connection (the reader closed it or the network
 * failed) is reported every 500 ms (event 1) and re-established with the address and port
 * of the last successful open (event 0 on success). The socket of the lost connection is
 * closed before each new attempt; without any callback it stays until QnNet_CloseDevice or
 * the next QnNet_OpenDevice.
 */
#ifndef QN_NET_API_H
#define QN_NET_API_H

#include "QnReaderTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Connects to the reader at ipAddress:port (closing a connection that is open first).
 * 1 connected, 0 failed. */
QN_API int QnNet_OpenDevice(const char *ipAddress, uint16_t port);
/* Stops the library's threads and closes the connection. Safe to call from a callback. */
QN_API void QnNet_CloseDevice(void);

#ifdef __cplusplus
}
#endif

#define QN_FN(name) QnNet_##name
#include "QnReaderCommands.h"
#undef QN_FN

#endif /* QN_NET_API_H */

/*
 * QnComApi: the reader protocol over a serial port.
 *
 * Calling order: register callbacks (optional), QnCom_OpenDevice, commands one at a time,
 * QnCom_CloseDevice. See QnReaderTypes.h for return codes, threads and callbacks.
 *
 * Port names: a trailing character that is not a digit is dropped ("COM3:" -> "COM3");
 * a name containing '/' is a device path opened as it is; "COMn" means /dev/ttyS(n-1); any
 * other name is taken under /dev/ ("ttyUSB0" -> /dev/ttyUSB0). The port is opened
 * exclusively in raw mode: 8 data bits, 1 stop bit, the parity of QnCom_SetParity, no flow
 * control, DTR and RTS cleared. Standard and non-standard baud rates are accepted.
 *
 * While a callback is registered, a lost port is reported every 200 ms (event 1) and
 * reopened with the same name and baud rate (event 0 on success).
 */
#ifndef QN_COM_API_H
#define QN_COM_API_H

#include "QnReaderTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the port (closing one that is open). 1 opened, 0 failed. */
QN_API int QnCom_OpenDevice(const char *portName, int32_t baudRate);
/* Stops the library's threads and closes the port. Safe to call from a callback. */
QN_API void QnCom_CloseDevice(void);
/* Parity for the next open: 0 none, 1 odd, 2 even, 3 mark, 4 space. Returns the code. */
QN_API uint8_t QnCom_SetParity(uint8_t parity);
/* The configured reader address (0xFF, the default, accepts answers from any reader).
 * Every command also stores its addr argument here. */
QN_API uint8_t QnCom_SetDeviceRDAddr(uint8_t addr);
QN_API uint8_t QnCom_ReadDeviceRDAddr(void);

#ifdef __cplusplus
}
#endif

#define QN_FN(name) QnCom_##name
#include "QnReaderCommands.h"
#include "QnTagBufferCommands.h"
#undef QN_FN

#endif /* QN_COM_API_H */

/*
 * QnHidApi: the reader protocol over USB, through a CH9326 USB-to-serial bridge that
 * presents itself as a HID device (vendor 0x1A86, product 0xE010).
 *
 * Calling order: QnHid_GetUsbCount and QnHid_GetUsbInfo to list the bridges, register
 * callbacks (optional), QnHid_OpenDevice with a list position, commands one at a time,
 * QnHid_CloseDevice. See QnReaderTypes.h for return codes, threads and callbacks.
 *
 * Devices: real bridges are found through hidapi (hidraw backend) and listed by their
 * hidraw node ("/dev/hidraw3"); the logged-in user needs access to that node (see
 * packaging/udev). After them come the simulated bridges named in the environment variable
 * QNHID_SIM ("host:port,host:port"), listed as "sim:host:port" while their endpoint accepts
 * a TCP connection. The variable is read at every listing; each listing tries every named
 * endpoint except the open one with a connection it closes at once (at most 250 ms for an
 * endpoint that does not answer). At most 64 devices are listed.
 *
 * Reports: every report is 33 bytes, report ID 0 first, then the payload count (1 to 31),
 * the payload and zero padding. A frame of m bytes goes out as ceil(m / 31) reports, 1 ms
 * apart. After every open the library sends the bridge's configuration report
 * (00 FF C7 83 CC 30, then zeros).
 *
 * Frames carry the reader address 0xFF and answers are not matched by address: the addr
 * argument of every command is accepted and not used. There are no parity or reader-address
 * functions. Each command waits its poll count times 1 ms for the answer.
 *
 * Threads: the library runs a receive thread and a monitor thread while a device is open;
 * callbacks come from them as QnReaderTypes.h says. Listing may block (see above), so it
 * does not belong in a callback.
 *
 * While a callback is registered, a lost device (unplugged, or its node can no longer be
 * read) is reported every 200 ms (event 1). Each period the library lists the devices
 * again and reopens the one at the saved position, or position 0 when fewer devices remain
 * (event 0 on success); with no device present it waits for the next period.
 */
#ifndef QN_HID_API_H
#define QN_HID_API_H

#include "QnReaderTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Lists the bridges present now and returns their count. */
QN_API uint16_t QnHid_GetUsbCount(void);
/* Copies the listed path of the device at `position` into `path256` (256 bytes, always
 * NUL-terminated; longer paths are cut). 1 on success; 0 and an empty text when the list is
 * empty or the position is not below the count (0 without writing when path256 is NULL). */
QN_API int QnHid_GetUsbInfo(uint16_t position, char *path256);
/* Opens the device at `position` of the last listing (closing one that is open). 1 opened;
 * 0 when the position is not listed (an open device is then left as it is) or the device
 * cannot be opened. */
QN_API int QnHid_OpenDevice(uint16_t position);
/* Stops the library's threads and closes the device. Safe to call from a callback. */
QN_API void QnHid_CloseDevice(void);

/* ---- Raw report access ----------------------------------------------------------------
 * For tools that talk to the bridge directly. While a device is open the library's receive
 * thread also takes input reports, so raw reads compete with it. */

/* Writes one output report carrying `count` bytes (1 to 31). 1 when the device took it; 0
 * when no device is open, bytes is NULL, count is out of range or the write failed. */
QN_API int CH9326WriteData(const uint8_t *bytes, uint8_t count);
/* Waits up to 5 ms for one input report and copies its payload to `buffer`, which must hold
 * 31 bytes; *count receives the payload size (0 when no report was waiting). 1 when a report
 * was taken or none was waiting; 0 when no device is open or it can no longer be read (and
 * when either pointer is NULL). */
QN_API int ReadUSBData(uint8_t *buffer, int32_t *count);
/* Reads the open device's input and output report lengths again. 1 on success, 0 when no
 * device is open. */
QN_API int GetDeviceCapabilities(void);

#ifdef __cplusplus
}
#endif

#define QN_FN(name) QnHid_##name
#include "QnReaderCommands.h"
#include "QnTagBufferCommands.h"
#undef QN_FN

#endif /* QN_HID_API_H */

/*
 * QnReader: many readers in one program. Each reader is a handle opened by its address; the
 * transport (TCP, serial port, USB) follows from the address. Handles are independent of each
 * other and of the one-reader libraries QnComApi, QnHidApi and QnNetApi.
 *
 *     char error[256];
 *     QnReader *reader = QnReader_Open("tcp://192.168.1.100", error, sizeof error);
 *     if (!reader) { fprintf(stderr, "%s\n", error); return 1; }
 *     uint8_t info[10];
 *     if (QnReader_GetDeviceSystemInfo(reader, 0xFF, info)) ...
 *     QnReader_Close(reader);
 *
 * Addresses
 *   tcp://HOST[:PORT]      IPv4 dotted text or a host name (looked up once, at open, IPv4);
 *                          port 60000 when omitted.
 *   serial:PATH[?baud=N]   a serial device; a bare name is taken under /dev ("serial:ttyUSB0"
 *                          is /dev/ttyUSB0); 115200 baud when omitted; no parity.
 *   usb:N                  the N-th CH9326 reader of the USB list (0-based), in the order
 *                          QnHid_GetUsbCount lists them (simulated bridges of QNHID_SIM
 *                          included).
 *   usb:PATH               the USB reader at that device path ("/dev/hidraw3"), or a listed
 *                          simulated bridge ("usb:sim:127.0.0.1:61000").
 *
 * Commands
 *   Every command of QnReaderCommands.h (and, for serial and USB handles, of
 *   QnTagBufferCommands.h) exists as QnReader_<Name> with the handle first and then the
 *   arguments, buffers, return values and answer waits of the one-reader library of the
 *   handle's transport. A NULL handle fails the call (0). On a TCP handle the tag buffer
 *   functions return 0; on USB and TCP handles the reader-address and parity functions
 *   return 0 and change nothing.
 *
 * Link loss
 *   As in the one-reader libraries, per handle: while a callback is registered on the
 *   handle, a lost link is reported (event 1) every monitor period (TCP 500 ms, serial and
 *   USB 200 ms) and reopened at the same address (event 0). A USB handle always reopens the
 *   device it opened (found again by its path), never another reader of the list.
 *
 * Threads
 *   Any number of handles may be open at once; each has its own connection, serial number,
 *   tag buffer and callbacks, and a handle's commands never wait for another handle's.
 *   Commands on one handle may come from several threads; they are served one after the
 *   other.
 *   Each open handle runs two threads: a receive thread (active-mode reports, frames no
 *   command waits for) and a monitor thread (link loss and reopen). Idle, a TCP, serial or
 *   simulated-USB handle sleeps in poll() and wakes about three times a second; a real USB
 *   bridge (hidapi offers no descriptor to wait on) reads every 5 ms.
 *   Callbacks run on those two threads as QnReaderTypes.h says of the one-reader libraries:
 *   reports and received frames on the receive thread (or, for a command's own answer, on the
 *   thread of the command), link events on the monitor thread, the traffic callback of a
 *   sent frame on the thread of the command.
 *
 * Closing
 *   QnReader_Close stops the handle's threads, closes its connection and frees it. It may be
 *   called from any thread, including from a callback of the same handle (the handle is then
 *   freed once that callback has returned). When it returns, no callback of the handle runs
 *   any more; a callback already running on another thread is waited for. Calls made on a
 *   handle after its close are undefined, as with free().
 */
#ifndef QN_READER_H
#define QN_READER_H

#include <stddef.h>

#include "QnReaderTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QnReader QnReader;

/* The handle callback: the events, values and arguments of QnCallback, plus the handle and
 * the user pointer given when it was registered. */
typedef void (*QnReaderCallback)(QnReader *reader, void *user, int32_t event, int32_t value,
                                 const uint8_t *data, int32_t length, const uint8_t *serial7);

/* Opens the reader at `address`. Returns the handle, or NULL with a one-line reason in
 * `error` (always terminated, cut to errorSize; error may be NULL): a malformed address, no
 * such device, permission denied, refused, timed out. */
QN_API QnReader *QnReader_Open(const char *address, char *error, size_t errorSize);
/* Closes and frees the handle (see Closing above). NULL is ignored. */
QN_API void QnReader_Close(QnReader *reader);
/* The address the handle was opened with, as given. Valid until the handle is closed. */
QN_API const char *QnReader_Address(QnReader *reader);

/* The family name of a reader type byte (the first serial number byte): "fir", "hazel",
 * "elm", "cedar", "cedar2", "birch", "birch2", "alder" or "unknown". A static text. */
QN_API const char *QnReader_FamilyName(uint8_t type);

/* The application and traffic callbacks of the handle (NULL removes one). Return 1. */
QN_API int QnReader_SetCallback(QnReader *reader, QnReaderCallback cb, void *user);
QN_API int QnReader_SetCallbackDebug(QnReader *reader, QnReaderCallback cb, void *user);

/* Stretches every answer wait of the handle to `percent` per cent of the one-reader library's
 * wait for that command (100, the default, keeps it; 250 waits two and a half times as long),
 * for slow serial lines, busy networks and loaded hosts. Accepts 100 to 1000 and returns 1;
 * returns 0 and changes nothing outside that range. A reader that answers within the plain
 * wait is not slowed: a command returns as soon as its answer arrives. */
QN_API int QnReader_SetWaitScale(QnReader *reader, int32_t percent);

/* Serial handles only (0 elsewhere). SetParity reopens the port with the parity code (0 none,
 * 1 odd, 2 even, 3 mark, 4 space) and returns it; the monitor keeps it for later reopens. */
QN_API uint8_t QnReader_SetParity(QnReader *reader, uint8_t parity);
QN_API uint8_t QnReader_SetDeviceRDAddr(QnReader *reader, uint8_t addr);
QN_API uint8_t QnReader_ReadDeviceRDAddr(QnReader *reader);

/* ---- Parameter records by field name ---------------------------------------------------
 * `record` is "device", "network" or "special". The reader's family (from
 * GetDeviceSystemInfo) decides which fields its records have. Field names are the stable
 * snake_case names the command-line tool and the Python package use.
 *
 * GetParams reads the record and writes it to `text` as one JSON object of the family's
 * fields in table order: numbers and list positions as numbers, flags as true/false, hex
 * fields, addresses and texts as strings (terminated; fails when textSize is too small, 64 KiB
 * is always enough).
 * SetParams reads the record, changes the fields named in `assignments` ("name=value" lines,
 * one per line) and writes the record back with the length the program's pages write: the
 * bytes it read, with only the named fields changed and the leading byte as read. An unknown
 * name, a value of the wrong kind or a failed read or write fails with the reason in `error`
 * (as QnReader_Open's); nothing is written unless every line is valid. Values: numbers in
 * decimal or with a 0x prefix, flags as true/false, yes/no or 1/0, hex fields as pairs of hex
 * digits, addresses as a.b.c.d, texts as they are. */
QN_API int QnReader_GetParams(QnReader *reader, uint8_t addr, const char *record, char *text,
                              size_t textSize);
QN_API int QnReader_SetParams(QnReader *reader, uint8_t addr, const char *record,
                              const char *assignments, char *error, size_t errorSize);

/* ---- Firmware upgrade ------------------------------------------------------------------
 * Sends `image` as the reader's new firmware: blocks of `blockSize` bytes (0: 1024; a multiple
 * of 16 up to 1536) in ascending order from 0, the last one padded with 0xFF, each resent up
 * to three times when the reader does not acknowledge it; then the end command. With
 * `password` (4 bytes) the password-guarded commands (UpgradeDevDataIn/EndIn) are used,
 * without (NULL) the plain ones. `progress` (may be NULL) is called on the calling thread
 * after every acknowledged block; returning 0 stops the upgrade before the next block.
 * Returns QN_UPGRADE_COMPLETED, or another QnUpgradeOutcome with a one-line reason in `report`
 * (as QnReader_Open's error). A stopped or failed upgrade sends no end command. */
typedef enum QnUpgradeOutcome {
    QN_UPGRADE_REFUSED = -1, /* bad block size or image: nothing was sent */
    QN_UPGRADE_FAILED = 0,   /* a block or the end command was not acknowledged */
    QN_UPGRADE_COMPLETED = 1,
    QN_UPGRADE_CANCELLED = 2 /* the progress callback returned 0 */
} QnUpgradeOutcome;
typedef int (*QnUpgradeProgress)(void *user, size_t blocksSent, size_t blockCount, size_t bytesSent,
                                 size_t totalBytes);
QN_API int QnReader_UpgradeFirmware(QnReader *reader, uint8_t addr, const uint8_t *image,
                                    size_t imageSize, const uint8_t *password, size_t blockSize,
                                    QnUpgradeProgress progress, void *user, char *report,
                                    size_t reportSize);

/* ---- Device profile files ----------------------------------------------------------------
 * The program's and tagbench-cli's device profiles: an INI file (section DeviceParam) with a
 * copy of a reader's parameter records, so that one reader's settings can be copied to others.
 * `report` receives one terminated line (cut to reportSize) saying what was done, e.g.
 * "PATH: profile written (device, network, special records)", or why it failed.
 *
 * ExportProfile reads every record the reader's family has (the device record; the network
 * and special records where the family has them) and writes the profile at `path`, named as
 * given. An existing file (or link) at `path` fails unless `overwrite` is nonzero, which
 * replaces a regular file whole; a symbolic link is never written through. Returns 1 when the
 * file is written, 0 when a read failed (nothing is written) or the file could not be written.
 *
 * ImportProfile reads the profile at `path` and writes the records it holds from a read and
 * the reader has, with the leading byte of the reader's own network record (of its device
 * record where it has none); the reader keeps its own MAC address. Zero bytes that stand for a
 * record not read are never written. A file that is no profile fails before anything is sent.
 * Returns 1 when every record written was taken, 0 otherwise (the report names the refused
 * records). */
QN_API int QnReader_ExportProfile(QnReader *reader, uint8_t addr, const char *path,
                                  int32_t overwrite, char *report, size_t reportSize);
QN_API int QnReader_ImportProfile(QnReader *reader, uint8_t addr, const char *path, char *report,
                                  size_t reportSize);

/* ---- Tags from reader bytes ------------------------------------------------------------
 * What the records of an inventory result or an active-mode report say, decoded as the
 * program's pages and tools decode them. Need no handle; safe from any thread.
 *
 * One decoded record. A record is a length byte n and n body bytes: type, antenna, EPC, RSSI
 * and, for type 2, four temperature bytes after the RSSI. */
typedef struct QnSighting {
    uint8_t type;              /* the record type byte; 2: a temperature tag */
    uint8_t antenna;           /* the antenna byte as the reader sent it */
    uint8_t rssi;              /* the RSSI byte as the reader sent it (0..255) */
    uint8_t epcLength;         /* EPC bytes in use in `epc` */
    uint8_t epc[QN_EPC_BYTES]; /* the EPC, most significant byte first; zero past epcLength */
    uint8_t hasTemperature;    /* 1 when `temperature` holds a reading, else 0 */
    float temperature;         /* degrees Celsius, -40 < t < 150; 0 without a reading */
} QnSighting;

/* Where the records come from, which decides how `length` is read and which records count. */
enum QnTagSource {
    /* An inventory result (InventoryG2): `length` is its *byteLength; records of 4 to 32
     * bytes are tags. */
    QN_TAGS_INVENTORY = 0,
    /* An active-mode report as the callback hands it over: `records` is its data and `length`
     * its length argument (12 more than the record bytes); records of 3 to 32 bytes are tags,
     * a type-2 record from 7 bytes. */
    QN_TAGS_REPORT = 1
};

/* Decodes the records at `records` into `out`, in order. Every whole record within the
 * record bytes is read (at most QN_TAG_RECORD_BYTES; the reader's tag count is not needed and
 * not trusted): a record that would run past them, or a length byte of 0, ends the walk;
 * records outside the length range are skipped. Writes at most `capacity` sightings
 * (QN_MOST_SIGHTINGS always suffice). Returns the number written (0 for no tags), or -1 for an
 * unknown source, a negative length or capacity, or a NULL buffer where bytes or room are asked
 * for. */
QN_API int32_t QnReader_DecodeTags(int32_t source, const uint8_t *records, int32_t length,
                                   QnSighting *out, int32_t capacity);

/* The GS1 pure-identity URI of an EPC ("urn:epc:id:sgtin:0614141.812345.6789"): SGTIN-96,
 * SSCC-96, SGLN-96, GRAI-96, GIAI-96, GID-96, SGTIN-198 and GIAI-202. Returns 1 with the URI
 * in `uri` (terminated; QN_EPC_URI_BYTES always suffice), or 0 with `uri` empty when the EPC
 * is not one of those identities or the URI does not fit in `size` bytes. */
QN_API int QnReader_EpcUri(const uint8_t *epc, int32_t length, char *uri, size_t size);

/* Response frames out of a byte stream the program reads itself, e.g. from readers that
 * connect out to it, with the parser the handles use:
 *
 *     QnFrameScanner *scanner = QnReader_NewFrameScanner();
 *     size_t taken;
 *     QnFrame frame;
 *     while (size > 0) {
 *         if (QnReader_ScanFrame(scanner, bytes, size, &taken, &frame)) use(&frame);
 *         bytes += taken;
 *         size -= taken;
 *     }
 *     QnReader_FreeFrameScanner(scanner);
 *
 * Bytes that form no frame with a good checksum are skipped. A scanner is used by one
 * thread at a time; separate scanners are independent. */
typedef struct QnFrameScanner QnFrameScanner;
/* A received response frame. `data` points into the scanner and stays valid until its next
 * scan. `length` is the frame's length field (data size + 4). */
typedef struct QnFrame {
    uint8_t address;
    uint8_t command; /* QN_COMMAND_ACTIVE_REPORT for an active-mode report */
    uint8_t status;
    uint16_t length;
    const uint8_t *data;
    size_t dataSize;
} QnFrame;
/* The command byte of an active-mode report: data is the 7-byte serial number, the tag
 * count, then the tag records. */
#define QN_COMMAND_ACTIVE_REPORT 0x45
/* A new scanner, or NULL when out of memory. */
QN_API QnFrameScanner *QnReader_NewFrameScanner(void);
/* Frees the scanner. NULL is ignored. */
QN_API void QnReader_FreeFrameScanner(QnFrameScanner *scanner);
/* Scans `bytes` up to and including the first byte that completes a frame. Sets `*taken` to
 * the number of bytes scanned. Returns 1 and fills `*frame` when a frame was completed, 0 when
 * all `size` bytes were scanned without completing one (or an argument is NULL; then `*taken`
 * is 0 when `taken` is given). */
QN_API int QnReader_ScanFrame(QnFrameScanner *scanner, const uint8_t *bytes, size_t size,
                              size_t *taken, QnFrame *frame);

#ifdef __cplusplus
}
#endif

#define QN_FN(name) QnReader_##name
#define QN_SELF QnReader *reader,
#define QN_SELF_ONLY QnReader *reader
#define QN_HANDLE_FUNCTIONS
#include "QnReaderCommands.h"
#include "QnTagBufferCommands.h"
#undef QN_HANDLE_FUNCTIONS
#undef QN_SELF_ONLY
#undef QN_SELF
#undef QN_FN

#endif /* QN_READER_H */

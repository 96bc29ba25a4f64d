/*
 * The command functions shared by QnComApi, QnHidApi and QnNetApi.
 *
 * This file has no include guard on purpose: each library header includes it once with
 * QN_FN(name) defined to give the library's prefix (QnCom_, QnHid_, QnNet_, QnReader_).
 * The handle library (QnReader.h) also defines QN_SELF as `QnReader *reader,`, which then
 * leads every argument list, and QN_HANDLE_FUNCTIONS, which leaves out the plain callbacks.
 *
 * `addr` is the reader address: the serial library stores it as the configured address
 * (frames carry it, answers must come from it unless it is 0xFF); the USB-HID and TCP
 * libraries accept it and send 0xFF. `pwd` is a 4-byte access password sent as stored.
 * All commands return 1 on success and 0 on failure (see QnReaderTypes.h). A NULL buffer
 * where a buffer is required fails the call without sending.
 */
#ifndef QN_FN
#error "Include QnComApi.h, QnHidApi.h or QnNetApi.h instead of this file."
#endif

#ifndef QN_SELF
#define QN_SELF
#define QN_SELF_DEFAULTED
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Callbacks ------------------------------------------------------------------------
 * SetCallback registers the application callback (link events and active-mode reports),
 * SetCallbackDebug the traffic callback (link events and every frame sent or received).
 * NULL removes a callback. Both return 1. Without any callback a lost link is reported
 * nowhere and never reopened. */
#ifndef QN_HANDLE_FUNCTIONS
QN_API int QN_FN(SetCallback)(QnCallback cb);
QN_API int QN_FN(SetCallbackDebug)(QnCallback cb);
#endif

/* ---- Device management ----------------------------------------------------------------
 * info10: firmware version, hardware version (high nibble major, low minor), 7-byte serial
 * number (its first byte is the family type byte), one further byte. On success the serial
 * number becomes the one passed to later callbacks. */
QN_API int QN_FN(GetDeviceSystemInfo)(QN_SELF uint8_t addr, uint8_t *info10);
QN_API int QN_FN(SetDeviceSystemInfo)(QN_SELF uint8_t addr, const uint8_t *pwd, uint8_t b0,
                                      uint8_t b1, const uint8_t *serial7);
/* id5: 5 bytes out. id4: 4 bytes in. */
QN_API int QN_FN(ReadDeviceID)(QN_SELF uint8_t addr, const uint8_t *pwd, uint8_t *id5);
QN_API int QN_FN(SetDeviceID)(QN_SELF uint8_t addr, const uint8_t *pwd, const uint8_t *id4);

/* Parameter records travel with a leading byte: the Read functions return it in *lead and
 * `length` record bytes in `record` (which must hold `length` bytes; bytes the reader did not
 * send read as 0); the Set functions send it back followed by the marker 0x55 (network
 * record: 0x55 0x00) and `length` record bytes. length is 1 to 255. */
QN_API int QN_FN(ReadDeviceParam)(QN_SELF uint8_t addr, uint8_t *lead, uint8_t *record,
                                  uint8_t length);
QN_API int QN_FN(SetDeviceParam)(QN_SELF uint8_t addr, uint8_t lead, const uint8_t *record,
                                 uint8_t length);
QN_API int QN_FN(ReadDeviceNetParam)(QN_SELF uint8_t addr, uint8_t *lead, uint8_t *record,
                                     uint8_t length);
QN_API int QN_FN(SetDeviceNetParam)(QN_SELF uint8_t addr, uint8_t lead, const uint8_t *record,
                                    uint8_t length);
QN_API int QN_FN(ReadDeviceSpecialParam)(QN_SELF uint8_t addr, uint8_t *lead, uint8_t *record,
                                         uint8_t length);
QN_API int QN_FN(SetDeviceSpecialParam)(QN_SELF uint8_t addr, uint8_t lead, const uint8_t *record,
                                        uint8_t length);
QN_API int QN_FN(DefaultDeviceParam)(QN_SELF uint8_t addr);
QN_API int QN_FN(DefaultDeviceNetParam)(QN_SELF uint8_t addr);
QN_API int QN_FN(ReadDeviceOneParam)(QN_SELF uint8_t addr, uint8_t index, uint8_t *value);
QN_API int QN_FN(SetDeviceOneParam)(QN_SELF uint8_t addr, uint8_t index, uint8_t value);

/* time6: year of the century, month, day, hour, minute, second. */
QN_API int QN_FN(ReadDeviceTime)(QN_SELF uint8_t addr, uint8_t *time6);
QN_API int QN_FN(SetDeviceTime)(QN_SELF uint8_t addr, const uint8_t *time6);
QN_API int QN_FN(ReadTransState)(QN_SELF uint8_t addr, uint8_t *out1);
QN_API int QN_FN(RebootDevice)(QN_SELF uint8_t addr);
QN_API int QN_FN(RelayOn)(QN_SELF uint8_t addr);
QN_API int QN_FN(RelayOff)(QN_SELF uint8_t addr);
QN_API int QN_FN(CheckModule)(QN_SELF uint8_t addr, uint8_t *out1);
/* out2[1]: bit k is the check result of antenna k + 1. */
QN_API int QN_FN(CheckAnt)(QN_SELF uint8_t addr, uint8_t *out2);

/* GPRS and GPS. Fixed-size text results: the buffer is filled whole; bytes the reader did
 * not send read as 0. */
QN_API int QN_FN(GPRSGetSIMState)(QN_SELF uint8_t addr, uint8_t *out1);
QN_API int QN_FN(GPRSGetSignal)(QN_SELF uint8_t addr, uint8_t *out8);
QN_API int QN_FN(GPRSGetLBS)(QN_SELF uint8_t addr, uint8_t *out64);
QN_API int QN_FN(GetGPS)(QN_SELF uint8_t addr, uint8_t *out1024);

/* ---- Gen-2 tag commands ---------------------------------------------------------------
 * InventoryG2: `records` receives the tag records back to back (each a length byte n and n
 * body bytes) and must hold QN_TAG_RECORD_BYTES (1451) bytes; *byteLength their byte count,
 * *tagCount the tag count. The request's three data bytes are sent as zeros.
 * bank: 0 reserved, 1 EPC, 2 TID, 3 user. Words are 2 bytes, sent in stored order.
 * ReadCardG2: `out` must hold wordCount * 2 bytes. Note the argument order of WriteEPCG2:
 * data before count. */
QN_API int QN_FN(InventoryG2)(QN_SELF uint8_t addr, uint8_t *records, uint16_t *byteLength,
                              uint16_t *tagCount);
QN_API int QN_FN(ReadCardG2)(QN_SELF uint8_t addr, const uint8_t *pwd, uint8_t bank,
                             uint8_t wordAddr, uint8_t wordCount, uint8_t *out);
QN_API int QN_FN(WriteCardG2)(QN_SELF uint8_t addr, const uint8_t *pwd, uint8_t bank,
                              uint8_t wordAddr, uint8_t wordCount, const uint8_t *data);
QN_API int QN_FN(WriteEPCG2)(QN_SELF uint8_t addr, const uint8_t *pwd, const uint8_t *epc,
                             uint8_t wordCount);
QN_API int QN_FN(LockCardG2)(QN_SELF uint8_t addr, const uint8_t *pwd, uint8_t lockCode);
QN_API int QN_FN(SetFreq)(QN_SELF uint8_t addr, uint8_t b0, uint8_t b1);

/* ---- Active mode ----------------------------------------------------------------------
 * StartRead asks the reader to push tag reports by itself; StopRead ends that. Each report
 * reaches the application callback on the receive thread as (2, tag count, records,
 * length, serial7), where length is the report's length field (12 more than the record
 * bytes) and serial7 the reporting reader. */
QN_API int QN_FN(StartRead)(QN_SELF uint8_t addr);
QN_API int QN_FN(StopRead)(QN_SELF uint8_t addr);

/* ---- White list, device cache, firmware upgrade, self-kill ----------------------------
 * ReadWhiteList: *count is the selector sent to the reader and, on success, the number of
 * 4-byte entries returned; `entries` must hold 4 bytes per returned entry (at most 1452
 * bytes). WriteWhiteList takes at most 387 entries.
 * GetDevCache: `records` must hold QN_TAG_RECORD_BYTES (1451) bytes.
 * Upgrade blocks are whole multiples of 16 bytes, at most 1536, numbered from 0; a longer
 * block fails without sending. UpgradeDevDataIn pauses 800 ms after sending block 0
 * before it waits for the answer. */
QN_API int QN_FN(ReadWhiteList)(QN_SELF uint8_t addr, uint8_t *entries, uint16_t *count);
QN_API int QN_FN(WriteWhiteList)(QN_SELF uint8_t addr, const uint8_t *entries, uint16_t count);
QN_API int QN_FN(DeleteAllWhiteList)(QN_SELF uint8_t addr);
QN_API int QN_FN(DeleteOneWhiteList)(QN_SELF uint8_t addr, const uint8_t *entry4);
QN_API int QN_FN(GetDevCache)(QN_SELF uint8_t addr, uint16_t *recordCount, uint8_t *records,
                              uint16_t *byteLength);
QN_API int QN_FN(DelDevCache)(QN_SELF uint8_t addr);
QN_API int QN_FN(UpgradeDevData)(QN_SELF uint8_t addr, uint16_t blockLength, uint16_t blockNumber,
                                 const uint8_t *block);
QN_API int QN_FN(UpgradeDevEnd)(QN_SELF uint8_t addr);
QN_API int QN_FN(UpgradeDevDataIn)(QN_SELF uint8_t addr, const uint8_t *pwd, uint16_t blockLength,
                                   uint16_t blockNumber, const uint8_t *block);
QN_API int QN_FN(UpgradeDevEndIn)(QN_SELF uint8_t addr, const uint8_t *pwd);
QN_API int QN_FN(DeviceSelfKill)(QN_SELF uint8_t addr, const uint8_t *pwd);

#ifdef __cplusplus
}
#endif

#ifdef QN_SELF_DEFAULTED
#undef QN_SELF
#undef QN_SELF_DEFAULTED
#endif

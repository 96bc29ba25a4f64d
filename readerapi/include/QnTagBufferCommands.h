/*
 * Tag buffer of the serial and USB-HID libraries (the TCP library has none).
 *
 * No include guard on purpose: included by QnComApi.h, QnHidApi.h and QnReader.h with QN_FN
 * defined (QnReader.h: with QN_SELF and QN_SELF_ONLY too, see QnReaderCommands.h).
 *
 * Every active-mode report that arrives while fewer than 47104 bytes are stored is appended
 * to the buffer. GetTagBuf copies the stored records to `records` (which must hold 48548
 * bytes), reports their byte count and tag count, empties the buffer and returns the status
 * byte: 1 while no report has been stored since the library was loaded or since the link
 * was last found lost, 2 once a report has been stored. The buffer survives link loss and
 * Close. ClearTagBuf empties it; it returns 0 when no connection is open, else 1.
 */
#ifndef QN_FN
#error "Include QnComApi.h or QnHidApi.h instead of this file."
#endif

#ifndef QN_SELF
#define QN_SELF
#define QN_SELF_ONLY void
#define QN_SELF_DEFAULTED
#endif

#ifdef __cplusplus
extern "C" {
#endif

QN_API uint8_t QN_FN(GetTagBuf)(QN_SELF uint8_t *records, int32_t *byteCount, int32_t *tagCount);
QN_API int QN_FN(ClearTagBuf)(QN_SELF_ONLY);

#ifdef __cplusplus
}
#endif

#ifdef QN_SELF_DEFAULTED
#undef QN_SELF
#undef QN_SELF_ONLY
#undef QN_SELF_DEFAULTED
#endif

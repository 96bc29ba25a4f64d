/*
 * Tag buffer of the serial and USB-HID libraries (the TCP library has none).
 *
 * No include guard on purpose: included by QnComApi.h and QnHidApi.h with QN_FN defined.
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

#ifdef __cplusplus
extern "C" {
#endif

QN_API uint8_t QN_FN(GetTagBuf)(uint8_t *records, int32_t *byteCount, int32_t *tagCount);
QN_API int QN_FN(ClearTagBuf)(void);

#ifdef __cplusplus
}
#endif

/*
 * Types shared by the three reader libraries (QnComApi, QnHidApi, QnNetApi).
 *
 * Return codes and error handling
 *   Every function returns 1 for success and 0 for failure unless its comment says
 *   otherwise. A command fails when no connection is open, when the frame could not be
 *   written, when no answer arrived within the command's wait, or when the answer carried a
 *   status other than 1 or another command's echo (serial library: or another reader's
 *   address). Out-buffers are written only on success; nothing is retried.
 *
 * Thread safety
 *   Each library serves one reader at a time; its state is process-wide. Commands may be
 *   called from any thread; concurrent callers are served one command after the other.
 *
 * Callbacks
 *   Both callbacks share one signature. Events (the QnEvent names below):
 *     QN_EVENT_LINK_RESTORED (0), value 0
 *                                link restored by the monitor thread        (monitor thread)
 *     QN_EVENT_LINK_LOST (1), value 0
 *                                link lost, repeated every monitor period   (monitor thread)
 *     QN_EVENT_DATA (2), value 1 traffic callback: a request frame is sent   (caller's thread,
 *                                reported as the write starts;
 *                                serial7 is NULL)
 *     QN_EVENT_DATA (2), value 0 traffic callback: a frame was received     (receive thread,
 *                                                                             or see below)
 *     QN_EVENT_DATA (2), value tag count
 *                                application callback: active-mode report   (receive thread)
 *   A command waiting for its answer reads the answer itself: the traffic callback for that
 *   frame (value 0) then runs on the command's calling thread, just before the command
 *   returns; frames that arrive while no command waits, and the HID library's frames when
 *   its device offers no descriptor to wait on, go through the receive thread. Received
 *   frames are still reported one at a time and in the order they arrived.
 *   `data` and `serial7` are valid only during the call. A callback must return quickly: the
 *   receive thread delivers nothing else meanwhile. A callback may close the connection.
 *
 * Debugging
 *   With the environment variable QN_DEBUG set, the libraries write diagnostics (for
 *   instance "sum error=N" for a frame dropped for a bad checksum) to stderr.
 */
#ifndef QN_READER_TYPES_H
#define QN_READER_TYPES_H

#include <stdint.h>

#if defined(__GNUC__)
#define QN_API __attribute__((visibility("default")))
#else
#define QN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The `event` argument of a callback. */
enum QnEvent { QN_EVENT_LINK_RESTORED = 0, QN_EVENT_LINK_LOST = 1, QN_EVENT_DATA = 2 };

typedef void (*QnCallback)(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                           const uint8_t *serial7);

/* Buffer sizes.
 *   QN_TAG_RECORD_BYTES  the most tag record bytes one inventory result (InventoryG2), cache
 *                        read (GetDevCache) or active-mode report carries: the size of the
 *                        `records` buffer those functions fill.
 *   QN_EPC_BYTES         room for the EPC of a decoded sighting (QnReader.h).
 *   QN_MOST_SIGHTINGS    the most sightings one result or report can decode to: every
 *                        record takes at least four bytes.
 *   QN_EPC_URI_BYTES     room for the longest GS1 pure-identity URI and its terminating
 *                        zero. */
#define QN_TAG_RECORD_BYTES 1451
#define QN_EPC_BYTES 62
#define QN_MOST_SIGHTINGS (QN_TAG_RECORD_BYTES / 4)
#define QN_EPC_URI_BYTES 129

#ifdef __cplusplus
}
#endif

#endif /* QN_READER_TYPES_H */

/*
 * reader_info: opens one reader, prints its identity and runs ten inventories.
 *
 *   reader_info tcp HOST PORT        e.g. reader_info tcp 192.168.1.250 60000
 *   reader_info serial PORT [BAUD]   e.g. reader_info serial ttyUSB0 115200
 *   reader_info usb [POSITION]       position in the list of USB bridges, from 0
 *
 * Exit status 0 when the reader answered with its identity, 1 when it could not be
 * opened or did not answer, 2 for wrong arguments.
 */
#include <QnComApi.h>
#include <QnHidApi.h>
#include <QnNetApi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The three libraries export the same commands under their own prefix; the program picks
 * one set of them by transport. */
struct reader {
    int (*setCallback)(QnCallback cb);
    int (*getDeviceSystemInfo)(uint8_t addr, uint8_t *info10);
    int (*inventoryG2)(uint8_t addr, uint8_t *records, uint16_t *byteLength, uint16_t *tagCount);
    void (*closeDevice)(void);
};

static const struct reader serialReader = {QnCom_SetCallback, QnCom_GetDeviceSystemInfo,
                                           QnCom_InventoryG2, QnCom_CloseDevice};
static const struct reader usbReader = {QnHid_SetCallback, QnHid_GetDeviceSystemInfo,
                                        QnHid_InventoryG2, QnHid_CloseDevice};
static const struct reader tcpReader = {QnNet_SetCallback, QnNet_GetDeviceSystemInfo,
                                        QnNet_InventoryG2, QnNet_CloseDevice};

/* Runs on a library thread: link events only (this program does not start active mode). */
static void onEvent(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                    const uint8_t *serial7) {
    (void)value, (void)data, (void)length, (void)serial7;
    if (event == QN_EVENT_LINK_LOST)
        fprintf(stderr, "link lost\n");
    else if (event == QN_EVENT_LINK_RESTORED)
        fprintf(stderr, "link restored\n");
}

static int usage(const char *program) {
    fprintf(stderr,
            "usage: %s tcp HOST PORT\n"
            "       %s serial PORT [BAUD]   (default 115200)\n"
            "       %s usb [POSITION]       (default 0)\n",
            program, program, program);
    return 2;
}

/* Opens the reader named by the arguments and sets *reader to its commands. Returns 0 when
 * it is open, 1 when it could not be opened, 2 for wrong arguments. */
static int openReader(int argc, char **argv, const struct reader **reader) {
    const char *transport = argc >= 2 ? argv[1] : "";
    if (strcmp(transport, "tcp") == 0 && argc == 4) {
        printf("reader: tcp %s:%s\n", argv[2], argv[3]);
        *reader = &tcpReader;
        return QnNet_OpenDevice(argv[2], (uint16_t)atoi(argv[3])) ? 0 : 1;
    }
    if (strcmp(transport, "serial") == 0 && (argc == 3 || argc == 4)) {
        const int baud = argc == 4 ? atoi(argv[3]) : 115200;
        printf("reader: serial %s at %d baud\n", argv[2], baud);
        *reader = &serialReader;
        return QnCom_OpenDevice(argv[2], baud) ? 0 : 1;
    }
    if (strcmp(transport, "usb") == 0 && (argc == 2 || argc == 3)) {
        const uint16_t position = (uint16_t)(argc == 3 ? atoi(argv[2]) : 0);
        const uint16_t count = QnHid_GetUsbCount();
        char path[256];
        if (!QnHid_GetUsbInfo(position, path)) {
            fprintf(stderr, "no USB bridge at position %u (%u listed)\n", position, count);
            return 1;
        }
        printf("reader: usb %s\n", path);
        *reader = &usbReader;
        return QnHid_OpenDevice(position) ? 0 : 1;
    }
    return 2;
}

int main(int argc, char **argv) {
    const struct reader *reader = NULL;
    const int opened = openReader(argc, argv, &reader);
    if (opened == 2) return usage(argv[0]);
    if (opened != 0) {
        fprintf(stderr, "cannot open the reader\n");
        return 1;
    }
    reader->setCallback(onEvent);

    uint8_t info[10];
    if (!reader->getDeviceSystemInfo(0xFF, info)) {
        fprintf(stderr, "the reader did not answer GetDeviceSystemInfo\n");
        reader->closeDevice();
        return 1;
    }
    printf("firmware %d.%d, hardware %d.%d, serial number", info[0] >> 4, info[0] & 0x0F,
           info[1] >> 4, info[1] & 0x0F);
    for (int i = 2; i < 9; ++i) printf(" %02X", info[i]);
    printf("\n");

    int answered = 0;
    for (int round = 1; round <= 10; ++round) {
        uint8_t records[1451];
        uint16_t byteLength = 0, tagCount = 0;
        /* A reader answers failure when it sees no tag. */
        if (!reader->inventoryG2(0xFF, records, &byteLength, &tagCount)) {
            printf("inventory %d: no tags\n", round);
            continue;
        }
        ++answered;
        printf("inventory %d: %u tags\n", round, tagCount);
        /* Records lie back to back: a length byte n, then n bytes (type, antenna, EPC,
         * RSSI, ...). */
        for (uint16_t at = 0; at < byteLength; at += (uint16_t)(records[at] + 1)) {
            printf("  ");
            for (int i = 1; i <= records[at] && at + i < byteLength; ++i)
                printf("%02X", records[at + i]);
            printf("\n");
        }
    }
    printf("inventories with tags: %d of 10\n", answered);
    reader->closeDevice();
    return 0;
}

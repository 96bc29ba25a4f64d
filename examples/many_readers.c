/*
 * many_readers: runs inventories on several readers at once, each from its own thread, and
 * prints one line per reader.
 *
 *   many_readers [--rounds N | --seconds S] ADDRESS...
 *   e.g. many_readers --seconds 10 tcp://192.168.1.100 serial:ttyUSB0 usb:0
 *
 * Addresses: tcp://HOST[:PORT], serial:PATH[?baud=N], usb:N or usb:PATH (see QnReader.h).
 * Each reader runs N inventory rounds (10 when no option is given) or inventories for S
 * seconds. The lines come in the order of the arguments:
 *
 *   ADDRESS serial 50010203040506 rounds 10 tags 3 failed 0
 *
 * tags counts the distinct EPCs seen, failed the rounds that brought no tags (a reader
 * answers failure when it sees none, as when something went wrong).
 *
 * Exit status 0 when every reader was opened and told its serial number, 1 when one could
 * not be opened or did not answer (the reason on stderr, the other readers still run), 2
 * for wrong arguments.
 */
#define _POSIX_C_SOURCE 200809L

#include <QnReader.h>

#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { RECORDS_SIZE = 1451, MAX_RECORD = 32, ERROR_SIZE = 256 };

/* How long each reader runs: a number of rounds, or seconds when rounds is 0. */
struct plan {
    long rounds;
    double seconds;
};

struct epc {
    uint8_t length;
    uint8_t bytes[MAX_RECORD];
};

/* The distinct EPCs of one reader, in a growing array. */
struct epc_set {
    struct epc *items;
    size_t count, capacity;
};

/* One reader: its address, what its thread found, and why it stopped early. */
struct reader_run {
    const char *address;
    const struct plan *plan;
    pthread_t thread;
    uint8_t serial[7];
    long rounds, failed;
    struct epc_set tags;
    char error[ERROR_SIZE]; /* "ADDRESS: reason", empty when the reader was opened and answered */
};

static double now_seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

/* A new EPC that finds no memory is not counted. */
static void epc_set_add(struct epc_set *set, const uint8_t *bytes, uint8_t length) {
    for (size_t i = 0; i < set->count; ++i)
        if (set->items[i].length == length && memcmp(set->items[i].bytes, bytes, length) == 0)
            return;
    if (set->count == set->capacity) {
        const size_t capacity = set->capacity ? 2 * set->capacity : 64;
        struct epc *items = realloc(set->items, capacity * sizeof *items);
        if (!items) return;
        set->items = items;
        set->capacity = capacity;
    }
    set->items[set->count].length = length;
    memcpy(set->items[set->count].bytes, bytes, length);
    ++set->count;
}

/* Records lie back to back: a length byte n, then n bytes: record type, antenna, EPC, RSSI
 * and, on temperature records (type 2), four temperature bytes. */
static void add_tags(struct epc_set *tags, const uint8_t *records, uint16_t byteLength) {
    for (size_t at = 0; at < byteLength; at += (size_t)records[at] + 1) {
        const uint8_t n = records[at];
        if (at + 1 + n > byteLength) break;
        const uint8_t *body = records + at + 1;
        const int trailer = body[0] == 2 ? 5 : 1; /* RSSI, and the temperature */
        if (n < 4 || n > MAX_RECORD || n - 2 - trailer < 1) continue;
        epc_set_add(tags, body + 2, (uint8_t)(n - 2 - trailer));
    }
}

static void run_inventories(struct reader_run *run, QnReader *reader) {
    const double deadline = now_seconds() + run->plan->seconds;
    while (run->plan->rounds ? run->rounds < run->plan->rounds : now_seconds() < deadline) {
        uint8_t records[RECORDS_SIZE];
        uint16_t byteLength = 0, tagCount = 0;
        ++run->rounds;
        if (QnReader_InventoryG2(reader, 0xFF, records, &byteLength, &tagCount))
            add_tags(&run->tags, records, byteLength);
        else
            ++run->failed;
    }
}

static void *run_reader(void *argument) {
    struct reader_run *run = argument;
    QnReader *reader = QnReader_Open(run->address, run->error, sizeof run->error);
    if (!reader) return NULL;
    uint8_t info[10];
    if (QnReader_GetDeviceSystemInfo(reader, 0xFF, info)) {
        memcpy(run->serial, info + 2, sizeof run->serial);
        run_inventories(run, reader);
    } else {
        snprintf(run->error, sizeof run->error, "%s: no answer to GetDeviceSystemInfo",
                 run->address);
    }
    QnReader_Close(reader);
    return NULL;
}

static int usage(const char *program) {
    fprintf(stderr, "usage: %s [--rounds N | --seconds S] ADDRESS...\n", program);
    return 2;
}

/* Reads the options into *plan; returns the index of the first address, or 0 when the
 * arguments are wrong. */
static int parse_options(int argc, char **argv, struct plan *plan) {
    plan->rounds = 10;
    plan->seconds = 0;
    int i = 1;
    for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
        char *end = NULL;
        errno = 0;
        if (strcmp(argv[i], "--rounds") == 0) {
            plan->rounds = strtol(argv[i + 1], &end, 10);
            if (errno || *end || plan->rounds < 1) return 0;
        } else if (strcmp(argv[i], "--seconds") == 0) {
            plan->rounds = 0;
            plan->seconds = strtod(argv[i + 1], &end);
            if (errno || *end || !(plan->seconds > 0 && plan->seconds < 1e6)) return 0;
        } else {
            return 0;
        }
    }
    return i < argc && strncmp(argv[i], "--", 2) != 0 ? i : 0;
}

/* Prints the reader's line, or its reason on stderr; returns 0 for a line. */
static int report(const struct reader_run *run) {
    if (run->error[0]) {
        fprintf(stderr, "%s\n", run->error);
        return 1;
    }
    printf("%s serial ", run->address);
    for (size_t i = 0; i < sizeof run->serial; ++i) printf("%02X", run->serial[i]);
    printf(" rounds %ld tags %zu failed %ld\n", run->rounds, run->tags.count, run->failed);
    return 0;
}

int main(int argc, char **argv) {
    struct plan plan;
    const int first = parse_options(argc, argv, &plan);
    if (!first) return usage(argv[0]);

    struct reader_run *runs = calloc((size_t)(argc - first), sizeof *runs);
    if (!runs) return 1;
    int status = 0, started = 0;
    for (; started < argc - first; ++started) {
        struct reader_run *run = &runs[started];
        run->address = argv[first + started];
        run->plan = &plan;
        const int error = pthread_create(&run->thread, NULL, run_reader, run);
        if (error) {
            fprintf(stderr, "%s: cannot start a thread: %s\n", run->address, strerror(error));
            status = 1;
            break;
        }
    }

    for (int i = 0; i < started; ++i) {
        pthread_join(runs[i].thread, NULL);
        if (report(&runs[i])) status = 1;
        free(runs[i].tags.items);
    }
    free(runs);
    return status;
}

// QnReader exports: readers as handles opened by address, every command with the handle
// first. The command bodies are the ones the one-reader libraries export.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <variant>

#include "QnReader.h"
#include "firmware_upgrade.h"
#include "handle_records.h"
#include "reader_family.h"
#include "reader_handle.h"
#include "serial_transport.h"

namespace {

// Copies the text, cut to the buffer and always terminated.
void writeText(const std::string &text, char *buffer, size_t size) {
    if (!buffer || size == 0) return;
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

// The two upgrade commands of the handle: the password-guarded ones when a password is given.
firmware::UpgradeLink upgradeLink(QnReader *reader, uint8_t addr, const uint8_t *password) {
    if (!password) {
        return {[reader, addr](std::uint16_t number, std::span<const std::uint8_t> block) {
                    return QnReader_UpgradeDevData(reader, addr,
                                                   static_cast<std::uint16_t>(block.size()), number,
                                                   block.data()) == 1;
                },
                [reader, addr] { return QnReader_UpgradeDevEnd(reader, addr) == 1; }};
    }
    return {
        [reader, addr, password](std::uint16_t number, std::span<const std::uint8_t> block) {
            return QnReader_UpgradeDevDataIn(reader, addr, password,
                                             static_cast<std::uint16_t>(block.size()), number,
                                             block.data()) == 1;
        },
        [reader, addr, password] { return QnReader_UpgradeDevEndIn(reader, addr, password) == 1; }};
}

int outcomeCode(firmware::Outcome outcome) {
    switch (outcome) {
        case firmware::Outcome::Completed:
            return QN_UPGRADE_COMPLETED;
        case firmware::Outcome::Refused:
            return QN_UPGRADE_REFUSED;
        case firmware::Outcome::Cancelled:
            return QN_UPGRADE_CANCELLED;
        case firmware::Outcome::BlockFailed:
        case firmware::Outcome::EndFailed:
            break;
    }
    return QN_UPGRADE_FAILED;
}

// A profile export or import on a reader in use, its outcome written to the report.
template <typename Step>
int profileStep(QnReader *reader, const char *path, char *report, size_t reportSize, Step step) {
    writeText("", report, reportSize);
    qn::handle::Use use(reader);
    if (!use || !path) {
        writeText(use ? "no profile path given" : "no reader", report, reportSize);
        return 0;
    }
    std::string outcome;
    const bool done = step(outcome);
    writeText(outcome, report, reportSize);
    return done ? 1 : 0;
}

qn::SerialTransport *serialOf(QnReader *reader) {
    if (!std::holds_alternative<readeraddress::Serial>(reader->parsedAddress)) return nullptr;
    return static_cast<qn::SerialTransport *>(reader->transport.get());
}

}  // namespace

#define QN_FN(name) QnReader_##name
#define QN_SELF QnReader *reader,
#define QN_SELF_ONLY QnReader *reader
#define QN_CALL(call)                  \
    {                                  \
        qn::handle::Use use(reader);   \
        if (!use) return 0;            \
        qn::Link &link = reader->link; \
        return call;                   \
    }
#include "exports.inc"
#include "tag_buffer_exports.inc"

extern "C" {

QN_API QnReader *QnReader_Open(const char *address, char *error, size_t errorSize) {
    writeText("", error, errorSize);
    if (!address) {
        writeText("no reader address given", error, errorSize);
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<QnReader> reader = qn::handle::open(address, reason);
    if (!reader) writeText(std::string(address) + ": " + reason, error, errorSize);
    return reader.release();
}

QN_API void QnReader_Close(QnReader *reader) {
    qn::handle::close(std::unique_ptr<QnReader>(reader));
}

QN_API const char *QnReader_Address(QnReader *reader) {
    return reader ? reader->address.c_str() : nullptr;
}

QN_API const char *QnReader_FamilyName(uint8_t type) {
    return readerfamily::traitsOfType(type).name;
}

QN_API int QnReader_SetCallback(QnReader *reader, QnReaderCallback cb, void *user) {
    qn::handle::Use use(reader);
    if (!use) return 0;
    reader->callbacks.set(qn::Channel::App, cb, user);
    return 1;
}

QN_API int QnReader_SetCallbackDebug(QnReader *reader, QnReaderCallback cb, void *user) {
    qn::handle::Use use(reader);
    if (!use) return 0;
    reader->callbacks.set(qn::Channel::Traffic, cb, user);
    return 1;
}

QN_API uint8_t QnReader_SetParity(QnReader *reader, uint8_t parity) {
    qn::handle::Use use(reader);
    qn::SerialTransport *serial = use ? serialOf(reader) : nullptr;
    if (!serial) return 0;
    serial->setParity(parity);
    reader->link.open();  // the port takes line settings when opened
    return parity;
}

QN_API int QnReader_SetWaitScale(QnReader *reader, int32_t percent) {
    qn::handle::Use use(reader);
    return use && reader->link.setWaitScale(percent) ? 1 : 0;
}

QN_API uint8_t QnReader_SetDeviceRDAddr(QnReader *reader, uint8_t addr) {
    qn::handle::Use use(reader);
    if (!use || !serialOf(reader)) return 0;
    reader->link.setReaderAddress(addr);
    return addr;
}

QN_API uint8_t QnReader_ReadDeviceRDAddr(QnReader *reader) {
    qn::handle::Use use(reader);
    if (!use || !serialOf(reader)) return 0;
    return reader->link.readerAddress();
}

QN_API int QnReader_GetParams(QnReader *reader, uint8_t addr, const char *record, char *text,
                              size_t textSize) {
    qn::handle::Use use(reader);
    if (!use || !record || !text) return 0;
    std::string json;
    if (!qn::handle::readParams(reader->link, addr, record, json) || json.size() >= textSize) {
        return 0;
    }
    writeText(json, text, textSize);
    return 1;
}

QN_API int QnReader_SetParams(QnReader *reader, uint8_t addr, const char *record,
                              const char *assignments, char *error, size_t errorSize) {
    writeText("", error, errorSize);
    qn::handle::Use use(reader);
    if (!use || !record || !assignments) {
        writeText(use ? "no record or assignments given" : "no reader", error, errorSize);
        return 0;
    }
    std::string reason;
    if (!qn::handle::writeParams(reader->link, addr, record, assignments, reason)) {
        writeText(reason, error, errorSize);
        return 0;
    }
    return 1;
}

QN_API int QnReader_UpgradeFirmware(QnReader *reader, uint8_t addr, const uint8_t *image,
                                    size_t imageSize, const uint8_t *password, size_t blockSize,
                                    QnUpgradeProgress progress, void *user, char *report,
                                    size_t reportSize) {
    writeText("", report, reportSize);
    qn::handle::Use use(reader);
    if (!use || (!image && imageSize > 0)) {
        writeText(use ? "no image given" : "no reader", report, reportSize);
        return use ? QN_UPGRADE_REFUSED : QN_UPGRADE_FAILED;
    }
    firmware::UpgradeOptions options;
    if (blockSize != 0) options.blockSize = blockSize;
    std::atomic<bool> cancel{false};
    const auto showProgress = [&](const firmware::Progress &done) {
        if (progress &&
            !progress(user, done.blocksSent, done.blockCount, done.bytesSent, done.totalBytes)) {
            cancel = true;
        }
    };
    const firmware::UpgradeResult result =
        firmware::upgrade(std::span(image, imageSize), options, upgradeLink(reader, addr, password),
                          showProgress, cancel);
    writeText(result.reason, report, reportSize);
    return outcomeCode(result.outcome);
}

QN_API int QnReader_ExportProfile(QnReader *reader, uint8_t addr, const char *path,
                                  int32_t overwrite, char *report, size_t reportSize) {
    return profileStep(reader, path, report, reportSize, [&](std::string &outcome) {
        return qn::handle::exportProfile(reader->link, addr, path, overwrite != 0, outcome);
    });
}

QN_API int QnReader_ImportProfile(QnReader *reader, uint8_t addr, const char *path, char *report,
                                  size_t reportSize) {
    return profileStep(reader, path, report, reportSize, [&](std::string &outcome) {
        return qn::handle::importProfile(reader->link, addr, path, outcome);
    });
}

}  // extern "C"

#include "record_access.h"

#include <cstdint>

#include "session.h"

namespace cli {

namespace {

using record::RecordKind;

using ReadCommand = int (*)(QnReader *, uint8_t, uint8_t *, uint8_t *, uint8_t);
using WriteCommand = int (*)(QnReader *, uint8_t, uint8_t, const uint8_t *, uint8_t);
using DefaultCommand = int (*)(QnReader *, uint8_t);

struct Commands {
    ReadCommand read;
    WriteCommand write;
    DefaultCommand restore;  // none for the special record
};

Commands commandsOf(RecordKind kind) {
    switch (kind) {
        case RecordKind::Device:
            return {QnReader_ReadDeviceParam, QnReader_SetDeviceParam, QnReader_DefaultDeviceParam};
        case RecordKind::Network:
            return {QnReader_ReadDeviceNetParam, QnReader_SetDeviceNetParam,
                    QnReader_DefaultDeviceNetParam};
        case RecordKind::Special:
            break;
    }
    return {QnReader_ReadDeviceSpecialParam, QnReader_SetDeviceSpecialParam, nullptr};
}

}  // namespace

record::RecordAccess recordAccess(QnReader *reader) {
    // Lengths stay within 1..255: the record plans and the profile steps keep them there.
    return {[reader](RecordKind kind, int length) -> std::optional<record::ParamRecord> {
                record::ParamRecord record{0, std::vector<uint8_t>(std::size_t(length), 0)};
                if (!commandsOf(kind).read(reader, kAnyAddress, &record.lead, record.bytes.data(),
                                           static_cast<uint8_t>(length))) {
                    return std::nullopt;
                }
                return record;
            },
            [reader](RecordKind kind, const record::ParamRecord &record) {
                return commandsOf(kind).write(reader, kAnyAddress, record.lead, record.bytes.data(),
                                              static_cast<uint8_t>(record.bytes.size())) != 0;
            },
            [reader](RecordKind kind) {
                const DefaultCommand restore = commandsOf(kind).restore;
                return restore && restore(reader, kAnyAddress) != 0;
            }};
}

}  // namespace cli

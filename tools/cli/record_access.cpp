#include "profile_access.h"

#include <cstdint>

#include "session.h"

namespace cli {

namespace {

using ReadCommand = int (*)(QnReader *, uint8_t, uint8_t *, uint8_t *, uint8_t);
using WriteCommand = int (*)(QnReader *, uint8_t, uint8_t, const uint8_t *, uint8_t);

std::pair<ReadCommand, WriteCommand> commandsOf(RecordKind kind) {
    switch (kind) {
        case RecordKind::Device:
            return {QnReader_ReadDeviceParam, QnReader_SetDeviceParam};
        case RecordKind::Network:
            return {QnReader_ReadDeviceNetParam, QnReader_SetDeviceNetParam};
        case RecordKind::Special:
            break;
    }
    return {QnReader_ReadDeviceSpecialParam, QnReader_SetDeviceSpecialParam};
}

}  // namespace

deviceprofile::RecordAccess profileAccess(QnReader *reader) {
    // Lengths stay within 1..255: the steps read and write deviceprofile::recordLength bytes.
    return {[reader](RecordKind kind, int length) -> std::optional<ParamRecord> {
                ParamRecord record{0, Bytes(static_cast<std::size_t>(length), 0)};
                if (!commandsOf(kind).first(reader, kAnyAddress, &record.lead, record.bytes.data(),
                                            static_cast<uint8_t>(length))) {
                    return std::nullopt;
                }
                return record;
            },
            [reader](RecordKind kind, const ParamRecord &record) {
                return commandsOf(kind).second(reader, kAnyAddress, record.lead,
                                               record.bytes.data(),
                                               static_cast<uint8_t>(record.bytes.size())) != 0;
            }};
}

}  // namespace cli

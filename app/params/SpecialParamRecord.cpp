#include "params/SpecialParamRecord.h"

#include "kit/CMyFunc.h"
#include "params/CParamInput.h"
#include "params/RecordBuffer.h"

#include <algorithm>
#include <array>

namespace specialparam {

namespace {

using paramrecord::Buffer;
using paramrecord::low8;

constexpr int passwordEnableAt = 0;
constexpr int passwordAt = 1;
constexpr int passwordBytes = 4;
constexpr int maskEnableAt = 5;
constexpr int maskStartAt = 6;
constexpr int maskDataAt = 7;
constexpr int maskLengthAt = 19;
constexpr int relayAt = 20;
constexpr int relayTimeAt = 21;
constexpr int cacheAt = 22;
constexpr int protocolEnableAt = 23;
constexpr int protocolAt = 24;
constexpr int conditionAt = 25;

// Bytes of compact hex into the buffer, at most `limit` of them; returns how many.
int putHex(Buffer &buffer, int at, const QString &text, int limit)
{
    const QByteArray bytes = CMyFunc::compactHexToBytes(text);
    const int count = std::min(int(bytes.size()), limit);
    std::copy_n(bytes.constData(), count, buffer.begin() + at);
    return count;
}

} // namespace

SpecialParamForm showRecord(std::span<const std::uint8_t> record)
{
    Buffer buffer{};
    std::copy_n(record.begin(), std::min(record.size(), buffer.size()), buffer.begin());
    SpecialParamForm form;
    form.passwordEnable = buffer[passwordEnableAt] != 0;
    form.password = CMyFunc::bytesToCompactHex(buffer.data() + passwordAt, passwordBytes);
    form.maskEnable = buffer[maskEnableAt] != 0;
    form.maskStart = QString::asprintf("%.2X", buffer[maskStartAt]);
    const int maskLength = std::min<int>(buffer[maskLengthAt], maskCapacity);
    form.maskData
        = CMyFunc::bytesToCompactHex(buffer.data() + maskDataAt, std::uint16_t(maskLength));
    form.relay = buffer[relayAt] != 0;
    form.relayTime = QString::number(buffer[relayTimeAt]);
    form.cache = buffer[cacheAt] != 0;
    form.protocolEnable = buffer[protocolEnableAt] != 0;
    form.protocol = buffer[protocolAt];
    form.condition = buffer[conditionAt];
    return form;
}

Bytes buildRecord(const SpecialParamForm &form, int length)
{
    Buffer buffer{};
    buffer[passwordEnableAt] = form.passwordEnable ? 1 : 0;
    putHex(buffer, passwordAt, form.password, passwordBytes);
    buffer[maskEnableAt] = form.maskEnable ? 1 : 0;
    // One digit is a start address too, as on the device parameter page.
    buffer[maskStartAt] = low8(CMyFunc::shortHexToInt(form.maskStart));
    // The length counts whole digit pairs typed; an odd last digit is left out of both.
    const int maskBytes = std::min(int(form.maskData.size()) / 2, maskCapacity);
    putHex(buffer, maskDataAt, form.maskData.left(2 * maskBytes), maskBytes);
    buffer[maskLengthAt] = low8(maskBytes);
    buffer[relayAt] = form.relay ? 1 : 0;
    buffer[relayTimeAt] = low8(CParamInput::leadingDecimal(form.relayTime));
    buffer[cacheAt] = form.cache ? 1 : 0;
    buffer[protocolEnableAt] = form.protocolEnable ? 1 : 0;
    buffer[protocolAt] = low8(form.protocol);
    buffer[conditionAt] = low8(form.condition);
    return paramrecord::firstBytes(buffer, length);
}

} // namespace specialparam

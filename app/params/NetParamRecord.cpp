#include "params/NetParamRecord.h"

#include "kit/CMyFunc.h"
#include "params/CParamInput.h"
#include "params/RecordBuffer.h"
#include "params/RecordText.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace netparam {

namespace {

using paramrecord::Buffer;
using paramrecord::low8;

constexpr int macAt = 0;
constexpr int macBytes = 6;
constexpr int ipAt = 6;
constexpr int maskAt = 10;
constexpr int gatewayAt = 14;
constexpr int remoteIpAt = 18;
constexpr int localPortAt = 22;
constexpr int remotePortAt = 24;
constexpr int dhcpAt = 26;
constexpr int dnsAt = 27;
constexpr int heartbeatAt = 28;
constexpr int gpsAt = 125;
constexpr int gpsIntervalAt = 126;
constexpr int autoApnAt = 127;

std::span<const std::uint8_t, 4> fourAt(const Buffer &buffer, int at)
{
    return std::span<const std::uint8_t, 4>(buffer.data() + at, 4);
}

QString textAt(const Buffer &buffer, TextField field)
{
    return recordtext::fromField(std::span(buffer).subspan(field.offset, field.width));
}

void putText(Buffer &buffer, TextField field, const QString &text)
{
    recordtext::toField(text, std::span(buffer).subspan(field.offset, field.width + 1));
}

int port(const Buffer &buffer, int at)
{
    return buffer[at] | (buffer[at + 1] << 8);
}

void putPort(Buffer &buffer, int at, const QString &text)
{
    const int value = CParamInput::leadingDecimal(text);
    buffer[at] = low8(value);
    buffer[at + 1] = low8(value >> 8);
}

void putAddress(Buffer &buffer, int at, const QString &text)
{
    const std::array<std::uint8_t, 4> bytes = addressBytes(text);
    std::copy(bytes.begin(), bytes.end(), buffer.begin() + at);
}

void putByte(Buffer &buffer, int at, const QString &text)
{
    buffer[at] = low8(CParamInput::leadingDecimal(text));
}

} // namespace

QString addressText(std::span<const std::uint8_t, 4> bytes)
{
    return QString::asprintf("%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
}

std::array<std::uint8_t, 4> addressBytes(const QString &text)
{
    const QStringList parts = text.split(u'.');
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t index = 0; index < bytes.size(); ++index)
        bytes[index] = low8(CParamInput::leadingDecimal(parts.value(qsizetype(index))));
    return bytes;
}

NetParamForm showRecord(std::span<const std::uint8_t> record)
{
    Buffer buffer{};
    std::copy_n(record.begin(), std::min(record.size(), buffer.size()), buffer.begin());
    NetParamForm form;
    form.mac = CMyFunc::bytesToCompactHex(buffer.data() + macAt, macBytes);
    form.ipAddress = addressText(fourAt(buffer, ipAt));
    form.subnetMask = addressText(fourAt(buffer, maskAt));
    form.gateway = addressText(fourAt(buffer, gatewayAt));
    form.remoteIp = addressText(fourAt(buffer, remoteIpAt));
    form.localPort = QString::number(port(buffer, localPortAt));
    form.remotePort = QString::number(port(buffer, remotePortAt));
    form.dhcp = buffer[dhcpAt] != 0;
    form.dns = buffer[dnsAt] != 0;
    form.heartbeat = QString::number(buffer[heartbeatAt]);
    form.domain = textAt(buffer, domainField);
    form.ssid = textAt(buffer, ssidField);
    form.wifiPassword = textAt(buffer, wifiPasswordField);
    form.gps = buffer[gpsAt] != 0;
    form.gpsInterval = QString::number(buffer[gpsIntervalAt]);
    form.autoApn = buffer[autoApnAt] != 0;
    form.apn = textAt(buffer, apnField);
    form.apnUser = textAt(buffer, apnUserField);
    form.apnPassword = textAt(buffer, apnPasswordField);
    return form;
}

Bytes buildRecord(const NetParamForm &form, bool gprsFields, int length)
{
    Buffer buffer{};
    const QByteArray mac = CMyFunc::compactHexToBytes(form.mac);
    std::copy_n(mac.constData(), std::min<qsizetype>(mac.size(), macBytes), buffer.begin() + macAt);
    putAddress(buffer, ipAt, form.ipAddress);
    putAddress(buffer, maskAt, form.subnetMask);
    putAddress(buffer, gatewayAt, form.gateway);
    putAddress(buffer, remoteIpAt, form.remoteIp);
    putPort(buffer, localPortAt, form.localPort);
    putPort(buffer, remotePortAt, form.remotePort);
    buffer[dhcpAt] = form.dhcp ? 1 : 0;
    buffer[dnsAt] = form.dns ? 1 : 0;
    putByte(buffer, heartbeatAt, form.heartbeat);
    putText(buffer, domainField, form.domain);
    putText(buffer, ssidField, form.ssid);
    putText(buffer, wifiPasswordField, form.wifiPassword);
    if (gprsFields) {
        buffer[gpsAt] = form.gps ? 1 : 0;
        putByte(buffer, gpsIntervalAt, form.gpsInterval);
        buffer[autoApnAt] = form.autoApn ? 1 : 0;
        putText(buffer, apnField, form.apn);
        putText(buffer, apnUserField, form.apnUser);
        putText(buffer, apnPasswordField, form.apnPassword);
    }
    return paramrecord::firstBytes(buffer, length);
}

} // namespace netparam

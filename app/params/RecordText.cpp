#include "params/RecordText.h"

#include <QByteArray>

#include <algorithm>

namespace recordtext {

namespace {

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

QString fromField(std::span<const std::uint8_t> field)
{
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return QString::fromUtf8(
        reinterpret_cast<const char *>(field.data()), qsizetype(end - field.begin()));
}

void toField(const QString &text, std::span<std::uint8_t> field)
{
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    if (field.empty())
        return;
    const QByteArray narrow = text.toUtf8();
    qsizetype length = std::min<qsizetype>(narrow.size(), qsizetype(field.size()) - 1);
    // The first byte that stays out must not be the middle of the last character kept.
    while (length > 0 && length < narrow.size() && isContinuationByte(narrow[length]))
        --length;
    std::copy_n(narrow.constData(), length, field.begin());
}

} // namespace recordtext

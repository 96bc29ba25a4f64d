#include "params/RecordText.h"

#include <algorithm>

namespace recordtext {

QString fromField(std::span<const std::uint8_t> field)
{
    const auto end = std::find(field.begin(), field.end(), std::uint8_t { 0 });
    return QString::fromUtf8(
        reinterpret_cast<const char *>(field.data()), qsizetype(end - field.begin()));
}

} // namespace recordtext

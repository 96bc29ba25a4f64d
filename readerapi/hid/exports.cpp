// QnHidApi exports: the USB-HID transport behind the shared command set, plus the device
// list and raw report access of the CH9326 bridge.
#include <algorithm>
#include <cstring>

#include "QnHidApi.h"
#include "hid_transport.h"
#include "hidapi_bus.h"
#include "sim_bus.h"

namespace {

constexpr size_t kPathBufferSize = 256;
constexpr auto kRawReadWait = std::chrono::milliseconds(5);

qn::hid::HidTransport &libraryTransport() {
    static qn::hid::HidapiBus realDevices;
    static qn::hid::SimBus simulatedDevices;
    static qn::hid::HidTransport transport(realDevices, simulatedDevices);
    return transport;
}

}  // namespace

#define QN_FN(name) QnHid_##name
#include "plain_exports.inc"
#include "tag_buffer_exports.inc"

extern "C" {

QN_API uint16_t QnHid_GetUsbCount(void) {
    return libraryTransport().enumerate();
}

QN_API int QnHid_GetUsbInfo(uint16_t position, char *path256) {
    if (!path256) return 0;
    path256[0] = '\0';
    const std::optional<std::string> text = libraryTransport().listedText(position);
    if (!text) return 0;
    const size_t size = std::min(text->size(), kPathBufferSize - 1);
    std::memcpy(path256, text->data(), size);
    path256[size] = '\0';
    return 1;
}

QN_API int QnHid_OpenDevice(uint16_t position) {
    // An unlisted position fails before anything open is touched.
    if (!libraryTransport().isListed(position)) return 0;
    libraryTransport().setTarget(position);
    return libraryLink().open() ? 1 : 0;
}

QN_API void QnHid_CloseDevice(void) {
    libraryLink().close();
}

QN_API int CH9326WriteData(const uint8_t *bytes, uint8_t count) {
    if (!bytes) return 0;
    return libraryTransport().writeReport({bytes, count}) ? 1 : 0;
}

QN_API int ReadUSBData(uint8_t *buffer, int32_t *count) {
    if (!buffer || !count) return 0;
    *count = 0;
    const qn::ReadResult result =
        libraryTransport().read({buffer, qn::hid::kMaxPayload}, kRawReadWait);
    if (result.status == qn::ReadStatus::Lost) return 0;
    *count = static_cast<int32_t>(result.bytes);
    return 1;
}

QN_API int GetDeviceCapabilities(void) {
    return libraryTransport().reloadCapabilities() ? 1 : 0;
}

}  // extern "C"

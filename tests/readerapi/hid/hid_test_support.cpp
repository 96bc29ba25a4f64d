#include "hid_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "QnHidApi.h"

namespace hidtest {

SimulatedDevices::SimulatedDevices(const std::string &endpoints) {
    ::setenv("QNHID_SIM", endpoints.c_str(), 1);
}

SimulatedDevices::~SimulatedDevices() {
    ::unsetenv("QNHID_SIM");
}

std::vector<Bytes> piecesOf(const Bytes &bytes, size_t size) {
    std::vector<Bytes> pieces;
    for (size_t offset = 0; offset < bytes.size(); offset += size) {
        const size_t end = std::min(bytes.size(), offset + size);
        pieces.emplace_back(bytes.begin() + offset, bytes.begin() + end);
    }
    return pieces;
}

std::string usbInfo(uint16_t position, int *result) {
    char path[256];
    std::fill(std::begin(path), std::end(path), 'x');
    const int ok = QnHid_GetUsbInfo(position, path);
    if (result) *result = ok;
    return std::string(path);
}

}  // namespace hidtest

// The three reader libraries, and the handle library on each transport, seen through one table
// of their prefixed functions, with how to serve each one's transport from the virtual reader
// and open it: what the shared suites are written against. The handle library is seen through
// one current handle, so every shared scenario checks that a handle behaves exactly as the
// one-reader library of its transport.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "QnComApi.h"
#include "QnHidApi.h"
#include "QnNetApi.h"
#include "QnReader.h"
#include "QnSharedCommands.h"
#include "command_table.h"
#include "virtual_reader.h"

namespace readertest {

struct ReaderApi {
#define QN_POINTER(name) decltype(&QnCom_##name) name;
    QN_SHARED_COMMANDS(QN_POINTER)
    // Null for the TCP library, which keeps no tag buffer.
    QN_TAG_BUFFER_COMMANDS(QN_POINTER)
#undef QN_POINTER
};

#define QN_BIND_COM(name) .name = QnCom_##name,
#define QN_BIND_HID(name) .name = QnHid_##name,
#define QN_BIND_NET(name) .name = QnNet_##name,
#define QN_BIND_HANDLE(name) .name = &handleapi::Bound<&QnReader_##name>::call,

// The handle library as a one-reader library: calls go to the current handle.
namespace handleapi {

inline std::atomic<QnReader *> current{nullptr};

template <auto Function>
struct Bound;
template <class Result, class... Args, Result (*Function)(QnReader *, Args...)>
struct Bound<Function> {
    static Result call(Args... args) { return Function(current, args...); }
};

int SetCallback(QnCallback cb);
int SetCallbackDebug(QnCallback cb);
void CloseDevice();
// Closes the current handle and opens one at `address`; 1 opened, 0 failed.
int open(const std::string &address);

inline const ReaderApi api{.SetCallback = SetCallback,
                           .SetCallbackDebug = SetCallbackDebug,
                           .CloseDevice = CloseDevice,
                           QN_READER_COMMANDS(QN_BIND_HANDLE)
                               QN_TAG_BUFFER_COMMANDS(QN_BIND_HANDLE)};

}  // namespace handleapi

// QnComApi over a pseudo-terminal behind a symlink that ends in a digit like a port name.
struct SerialLibrary {
    static constexpr const char *kName = "Serial";
    static constexpr qn::TransportKind kKind = qn::TransportKind::Serial;
    static constexpr bool kSendsAddress = true;
    inline static const ReaderApi api{QN_SHARED_COMMANDS(QN_BIND_COM)
                                          QN_TAG_BUFFER_COMMANDS(QN_BIND_COM)};

    class Endpoint {
      public:
        explicit Endpoint(readersim::VirtualReader &reader);
        ~Endpoint();
        int open() const;
        std::string address() const { return "serial:" + link_; }

      private:
        std::filesystem::path tempDir_;
        std::string link_;
    };
};

// QnHidApi over the virtual reader's HID tunnel, named in QNHID_SIM.
struct HidLibrary {
    static constexpr const char *kName = "Hid";
    static constexpr qn::TransportKind kKind = qn::TransportKind::Hid;
    static constexpr bool kSendsAddress = false;
    inline static const ReaderApi api{QN_SHARED_COMMANDS(QN_BIND_HID)
                                          QN_TAG_BUFFER_COMMANDS(QN_BIND_HID)};

    class Endpoint {
      public:
        explicit Endpoint(readersim::VirtualReader &reader);
        ~Endpoint();
        int open() const;
        std::string address() const { return "usb:0"; }
    };
};

// QnNetApi over loopback TCP.
struct NetLibrary {
    static constexpr const char *kName = "Net";
    static constexpr qn::TransportKind kKind = qn::TransportKind::Net;
    static constexpr bool kSendsAddress = false;
    inline static const ReaderApi api{QN_SHARED_COMMANDS(QN_BIND_NET).GetTagBuf = nullptr,
                                      .ClearTagBuf = nullptr};

    class Endpoint {
      public:
        explicit Endpoint(readersim::VirtualReader &reader);
        int open() const;
        std::string address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

      private:
        uint16_t port_;
    };
};

// A handle opened by address on the transport of a one-reader library, served the same way.
template <class Library, const char *Scheme>
struct HandleLibrary {
    static constexpr const char *kName = Scheme;
    static constexpr qn::TransportKind kKind = Library::kKind;
    static constexpr bool kSendsAddress = Library::kSendsAddress;
    inline static const ReaderApi &api = handleapi::api;

    class Endpoint {
      public:
        explicit Endpoint(readersim::VirtualReader &reader)
            : served_(reader), address_(served_.address()) {}
        ~Endpoint() { handleapi::CloseDevice(); }
        int open() const { return handleapi::open(address_); }

      private:
        typename Library::Endpoint served_;
        std::string address_;
    };
};

inline constexpr char kHandleSerial[] = "HandleSerial";
inline constexpr char kHandleHid[] = "HandleHid";
inline constexpr char kHandleNet[] = "HandleNet";
using HandleSerialLibrary = HandleLibrary<SerialLibrary, kHandleSerial>;
using HandleHidLibrary = HandleLibrary<HidLibrary, kHandleHid>;
using HandleNetLibrary = HandleLibrary<NetLibrary, kHandleNet>;

#undef QN_BIND_COM
#undef QN_BIND_HID
#undef QN_BIND_NET
#undef QN_BIND_HANDLE

using AllLibraries = ::testing::Types<SerialLibrary, HidLibrary, NetLibrary, HandleSerialLibrary,
                                      HandleHidLibrary, HandleNetLibrary>;
using TagBufferLibraries =
    ::testing::Types<SerialLibrary, HidLibrary, HandleSerialLibrary, HandleHidLibrary>;

struct LibraryName {
    template <class Library>
    static std::string GetName(int) {
        return Library::kName;
    }
};

}  // namespace readertest

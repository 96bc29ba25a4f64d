// The three reader libraries seen through one table of their prefixed functions, with how to
// serve each one's transport from the virtual reader and open it: what the shared suites
// are written against.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "QnComApi.h"
#include "QnHidApi.h"
#include "QnNetApi.h"
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

// QnComApi over a pseudo-terminal behind a symlink that ends in a digit like a port name.
struct SerialLibrary {
    static constexpr qn::TransportKind kKind = qn::TransportKind::Serial;
    static constexpr bool kSendsAddress = true;
    inline static const ReaderApi api{QN_SHARED_COMMANDS(QN_BIND_COM)
                                          QN_TAG_BUFFER_COMMANDS(QN_BIND_COM)};

    class Endpoint {
      public:
        explicit Endpoint(readersim::VirtualReader &reader);
        ~Endpoint();
        int open() const;

      private:
        std::filesystem::path tempDir_;
        std::string link_;
    };
};

// QnHidApi over the virtual reader's HID tunnel, named in QNHID_SIM.
struct HidLibrary {
    static constexpr qn::TransportKind kKind = qn::TransportKind::Hid;
    static constexpr bool kSendsAddress = false;
    inline static const ReaderApi api{QN_SHARED_COMMANDS(QN_BIND_HID)
                                          QN_TAG_BUFFER_COMMANDS(QN_BIND_HID)};

    class Endpoint {
      public:
        explicit Endpoint(readersim::VirtualReader &reader);
        ~Endpoint();
        int open() const;
    };
};

// QnNetApi over loopback TCP.
struct NetLibrary {
    static constexpr qn::TransportKind kKind = qn::TransportKind::Net;
    static constexpr bool kSendsAddress = false;
    inline static const ReaderApi api{QN_SHARED_COMMANDS(QN_BIND_NET).GetTagBuf = nullptr,
                                      .ClearTagBuf = nullptr};

    class Endpoint {
      public:
        explicit Endpoint(readersim::VirtualReader &reader);
        int open() const;

      private:
        uint16_t port_;
    };
};

#undef QN_BIND_COM
#undef QN_BIND_HID
#undef QN_BIND_NET

using AllLibraries = ::testing::Types<SerialLibrary, HidLibrary, NetLibrary>;
using TagBufferLibraries = ::testing::Types<SerialLibrary, HidLibrary>;

// Test names: "Serial", "Hid", "Net".
struct LibraryName {
    template <class Library>
    static std::string GetName(int) {
        if constexpr (Library::kKind == qn::TransportKind::Serial) return "Serial";
        if constexpr (Library::kKind == qn::TransportKind::Hid) return "Hid";
        return "Net";
    }
};

}  // namespace readertest

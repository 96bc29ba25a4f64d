// Arbitrary bytes as an INI document: reading, writing a key and reading it back must never
// crash, and the written key must read back whatever surrounds it.
#include <cassert>
#include <string_view>

#include "profile/CIniDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    CIniDocument document = CIniDocument::fromBytes(bytes);
    (void)document.value("Language", "999");
    CIniDocument written = document;
    written.setValue("Config", "DevPort", "60000");
    const CIniDocument reread = CIniDocument::fromBytes(written.toBytes());
    assert(reread.value("Config", "DevPort") == std::string("60000"));
    return 0;
}

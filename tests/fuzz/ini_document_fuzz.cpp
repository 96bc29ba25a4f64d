// Arbitrary bytes as an INI document: reading, writing a key and reading it back must never
// crash, and the written key must read back whatever surrounds it.
#include <cassert>

#include "kit/CIniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CIniDocument document = CIniDocument::fromBytes(bytes);
    (void)document.value(u"Language", u"999");
    CIniDocument written = document;
    written.setValue(QStringLiteral("Config"), QStringLiteral("DevPort"), QStringLiteral("60000"));
    const CIniDocument reread = CIniDocument::fromBytes(written.toBytes());
    assert(reread.value(u"Config", u"DevPort") == QStringLiteral("60000"));
    return 0;
}

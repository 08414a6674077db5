// libFuzzer target: the binary data-packet reader.
#include "FuzzCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Always take the binary path: the magic is supplied when the input lacks it.
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!bytes.startsWith("\x96\x19\xE0\xBD")) bytes.prepend("\x96\x19\xE0\xBD", 4);
    try {
        checkPacket(dataset::readPacket(bytes, QStringLiteral("fuzz.cds")));
    } catch (const dataset::DataSetError&) {
    }
    return 0;
}

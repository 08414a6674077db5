// libFuzzer target: the XML data-packet reader (encoding rule, tolerant parser, values).
#include "FuzzCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.startsWith("\x96\x19\xE0\xBD")) return 0;  // the binary target's business
    try {
        checkPacket(dataset::readPacket(bytes, QStringLiteral("fuzz.xml")));
    } catch (const dataset::DataSetError&) {
    }
    return 0;
}

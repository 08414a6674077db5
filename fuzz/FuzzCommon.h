#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "dataset/PacketFile.h"

// A packet that was read must survive being written and read again, in both formats:
// a reader that accepts what its own writer cannot reproduce has a fault somewhere.
inline void checkPacket(const dataset::DataPacket& p) {
    for (int r = 0; r < p.rowCount(); ++r)
        for (int c = 0; c < p.fields().size(); ++c) (void)p.text(r, c);
    if (p.fields().isEmpty()) return;
    try {
        const dataset::DataPacket a =
            dataset::readPacket(dataset::writeBinaryPacket(p), QStringLiteral("fuzz"));
        const dataset::DataPacket b =
            dataset::readPacket(dataset::writeXmlPacket(p, true), QStringLiteral("fuzz"));
        if (a.rowCount() != p.rowCount() || b.rowCount() != p.rowCount()) std::abort();
    } catch (const dataset::DataSetError& e) {
        std::fprintf(stderr, "written packet not readable: %s\n", e.what());
        std::abort();
    }
}

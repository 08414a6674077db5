#pragma once

namespace Hul00002::detail {

// Fiscal reports menu: X reading, Z reduction, fiscal memory reading.
void relFiscaisPadrao();

}  // namespace Hul00002::detail

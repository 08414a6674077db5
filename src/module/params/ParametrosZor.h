#pragma once

#include <QString>

#include <array>

#include <pkg_kel00815/kel00815_export.h>

namespace dataset {
class ClientDataSet;
}

namespace Cli_Kel00815 {

// The till's identity and colour scheme, from PARAMETROSZOR.CDS beside the host executable.
struct ParametrosTerminal {
    QString stArqParametros;  // path the file was (or would have been) read from; empty if absent
    std::array<int, 6> inCor{};  // inCor1..inCor6, 0x00BBGGRR
    QString stIdEsquema;
    QString stCdFilial;
    QString stCdCaixa;
};

// Reads the first record into the result. A missing file gives zeros and empty texts, silently;
// a file that cannot be read, that is no regular file (a device, a FIFO, a link to one), or that
// lacks one of the nine fields raises dataset::DataSetError.
// exeDir: the host executable's folder (the process's own path by default).
KEL00815_TEST_EXPORT ParametrosTerminal LerParametrosZor(dataset::ClientDataSet& cdsParametrosZor,
                                                         const QString& exeDir = {});

// The parameter file's path in a folder, also when its name differs in letter case
// (copied from a Windows till); empty when there is none.
KEL00815_TEST_EXPORT QString LocalizaParametrosZor(const QString& dir);

}  // namespace Cli_Kel00815

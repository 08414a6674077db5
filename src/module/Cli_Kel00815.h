#pragma once

#include <pkg_kel00815/kel00815_export.h>

namespace Cli_Kel00815 {

class TfrmPresenca;

// The screen of the running call; nil outside a call of ListaPresenca.
extern KEL00815_EXPORT TfrmPresenca* frmPresenca;
// What the next mark-all does: false marks, true unmarks. Reset by every InicializaForm.
extern KEL00815_EXPORT bool boSelTudo;

}  // namespace Cli_Kel00815

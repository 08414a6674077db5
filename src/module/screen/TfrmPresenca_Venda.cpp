// Sale generation from the attendance screen: the marked consumers handed to the sale generator.

#include "module/screen/TfrmPresenca.h"

namespace Cli_Kel00815 {

void TfrmPresenca::blbGeraVendaClick(QObject* sender) {
    Q_UNUSED(sender);
}

}  // namespace Cli_Kel00815

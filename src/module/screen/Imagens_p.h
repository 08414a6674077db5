#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace Cli_Kel00815::imagens {

// One of the screen's drawings (images/<nome>.svg) rendered at exactly the given pixel size.
QPixmap Desenho(const QString& nome, const QSize& tamanho);

// The 16 x 16 check-box pictures of the grid's mark column: black, white and silver on olive
// (0x008080), the colour the grid leaves transparent. Drawn pixel by pixel so that every
// background pixel is exactly olive.
QPixmap CaixaMarcacao(bool marcada);

}  // namespace Cli_Kel00815::imagens

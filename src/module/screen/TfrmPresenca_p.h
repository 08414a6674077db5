#pragma once

// What the files of the attendance screen share: colours, the row's state fields, the unit's
// name, the date format.

#include <QColor>
#include <QDate>
#include <QString>

#include "platform/Platform.h"

namespace Cli_Kel00815::tela {

// Colours in the till's encoding, 0x00BBGGRR.
inline constexpr int clRed = 0x0000FF;
inline constexpr int clGreen = 0x008000;
inline constexpr int clGray = 0x808080;
inline constexpr int clSilver = 0xC0C0C0;
inline constexpr int clNavy = 0x800000;
inline constexpr int clMaroon = 0x000080;
inline constexpr int clWhite = 0xFFFFFF;
inline constexpr int clLightGray = 0xD6D6D6;
inline constexpr int clOrange = 0x0080FF;

inline QColor cor(int c) {
    return platform::CorParaQColor(c);
}

// Fields of the attendance row that the grid, the list and the sale run all read, and the
// one-letter flags of the mark.
inline const QString kMarca = QStringLiteral("IDCHECK");
inline const QString kSituacao = QStringLiteral("IDSITCONSUMI");
inline const QString kDiaDaVenda = QStringLiteral("DTHRREALCONCONS");
inline const QString kSim = QStringLiteral("S");
inline const QString kNao = QStringLiteral("N");

// The unit named in MensagemMetodo, and the form in which dates are shown and passed.
inline const QString kUnidade = QStringLiteral("Cli_Kel00815");
inline const QString kFormatoData = QStringLiteral("dd/MM/yyyy");

// A date caption as a date: "dd/mm/yyyy", or the short "d/m/yyyy" a picker may give.
inline QDate leData(const QString& texto) {
    QDate d = QDate::fromString(texto, kFormatoData);
    if (!d.isValid()) d = QDate::fromString(texto, QStringLiteral("d/M/yyyy"));
    if (!d.isValid())
        throw platform::Error(QStringLiteral("'%1' não é uma data válida.").arg(texto));
    return d;
}

}  // namespace Cli_Kel00815::tela

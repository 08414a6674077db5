#pragma once

// Point-of-sale services package (pkg_hul00002): its operations are procedure variables.
// The host assigns the real ones at start (InstallDefaults); a test may assign its own.
// A variable not yet assigned raises a clear error when called.

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>

#include <QtCore/qglobal.h>

#if defined(HUL00002_BUILDING)
#define HUL00002_EXPORT Q_DECL_EXPORT
#else
#define HUL00002_EXPORT Q_DECL_IMPORT
#endif

class QWidget;
namespace dataset {
class ClientDataSet;
}

namespace Hul00002 {

// Touch pick list over a dataset: (dataset, 0, "N", cor1, cor2, cor3, cor5, 0).
// True: a row was chosen and the dataset stands on it.
using TPesquisa = std::function<bool(dataset::ClientDataSet& ds, int arg2, const QString& flag,
                                     int cor1, int cor2, int cor3, int cor5, int arg8)>;
// Touch calendar: (0, cor1, cor2) -> "dd/mm/yyyy", or empty text when cancelled.
using TTouchCalendar = std::function<QString(int arg1, int cor1, int cor2)>;
// Numeric keypad: (entry, title, instruction, empty-entry text, max digits, 0, 0, 0, 0, 0).
// True when confirmed; the entry holds the digits typed.
using TTecladoNumerico =
    std::function<bool(QString& entrada, const QString& titulo, const QString& instrucao,
                       const QString& textoVazio, int tamanho, int a6, int a7, int a8, int a9,
                       int a10)>;
// Waiting window over a form: (form, text, cor1, cor2); returns at once.
using TAtivaProcesso = std::function<void(QWidget* form, const QString& texto, int cor1, int cor2)>;
using TDesativaProcesso = std::function<void()>;
// One sale with its receipt per record of the hand-over packet:
// (packet, 0, 16 empty options, result).
using TGeraCupomVenda = std::function<void(const QVariant& pacote, int arg2,
                                           const QVariantList& opcoes, QVariant& resultado)>;
using TRelFiscais = std::function<void()>;

extern HUL00002_EXPORT TPesquisa Pesquisa;
extern HUL00002_EXPORT TTouchCalendar TouchCalendar;
extern HUL00002_EXPORT TTecladoNumerico TecladoNumerico;
extern HUL00002_EXPORT TAtivaProcesso AtivaProcesso;
extern HUL00002_EXPORT TDesativaProcesso DesativaProcesso;
extern HUL00002_EXPORT TGeraCupomVenda GeraCupomVenda;
extern HUL00002_EXPORT TRelFiscais RelFiscais;

// Assigns the package's real implementations to every variable.
HUL00002_EXPORT void InstallDefaults();
// Puts every variable back to "not installed" (raises when called).
HUL00002_EXPORT void ResetToUnassigned();

}  // namespace Hul00002

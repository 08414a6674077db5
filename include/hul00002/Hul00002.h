#pragma once

// Point-of-sale services package (pkg_hul00002): its operations are procedure variables.
// The host assigns the real ones at start (InstallDefaults); a test may assign its own.
// A variable not yet assigned raises platform::Error
// ("Serviço de ponto de venda não instalado: <operação>") when called.
//
// The default dialogs are modal (exec) and touch-sized; a test drives them from a timer
// (QApplication::activeModalWidget(), then findChild by objectName, QTest clicks and keys).
// Scheme colours are 0x00BBGGRR; 0 (no parameter file) means the package's own colour.
//
// Pesquisa, dialog "frmPesquisa": cor1 title band, cor2 body, cor3 highlighted row, cor5 the
//   list's title row. flag "S" opens with the on-screen keyboard shown; arg2 and arg8 unused.
//   "edtPesquisa" search box (narrows the rows by every typed word, accents and case ignored,
//   over the texts shown), "grdPesquisa" the list (model: the narrowed rows), "lblTotal",
//   "btnOk", "btnCancelar", "btnSobe"/"btnDesce" (one row), "btnTeclado" (shows "pnlTeclado"),
//   keys "btnTeclaA".."btnTeclaZ", "btnTecla0".."btnTecla9", "btnTeclaCedilha", "btnEspaco",
//   "btnRetrocesso", "btnLimpaPesquisa". Keys: Up/Down/PageUp/PageDown move, Enter chooses,
//   Escape cancels; two taps on a row (or a double click) choose it. It opens on the dataset's
//   current record; only a choice moves the dataset (moveTo among the rows its filter lets
//   through) and leaves what was typed in the dataset's property "textoPesquisa"; the
//   dataset's filter and index are left alone. A closed dataset raises.
// TouchCalendar, dialog "frmCalendario": cor1 title band and chosen day, cor2 body; arg1 unused.
//   Opens on today (platform::Hoje(), framed in orange). "lblMes" ("Março de 2026"),
//   "btnMesAnterior", "btnMesSeguinte", "btnDia1".."btnDia31" (days of the month shown; a
//   second touch on the chosen day confirms), "lblData", "btnHoje", "btnOk", "btnCancelar".
//   Keys: arrows move a day/week, PageUp/PageDown a month, Home today, Enter, Escape.
// TecladoNumerico, dialog "frmTeclado": "lblInstrucao", "edtEntrada" (the digits), "lblMensagem",
//   "btn0".."btn9", "btnLimpa", "btnApaga", "btnConfirma", "btnCancelar"; keys: digits,
//   Backspace, Delete (clear), Enter, Escape. At most `tamanho` digits (<= 0: no limit).
//   Confirming an empty entry shows the empty-entry text in "lblMensagem" and stays open;
//   confirming again, still empty, returns true with an empty entry. Cancel leaves the entry
//   as it was. The five trailing integers are unused.
// AtivaProcesso: non-modal window "frmProcesso" ("lblProcesso", "prbProcesso") centred over
//   the form, painted before it returns; a second call replaces it. DesativaProcesso removes it
//   and is harmless when none is shown.
// RelFiscais, dialog "frmRelFiscais", for the till of PARAMETROSZOR.CDS beside the host and
//   today (platform::Hoje()), from the recorded sales: "btnLeituraX" (key 1 or X) the day's
//   reading; "btnReducaoZ" (2 or Z) asks first (Mensagem kind 1), then records the day's
//   closing (FECHACAIXA), after which no sale of the till is made for that day, and prints it;
//   "btnMemoriaFiscal" (3 or M) the closings between two dates of the touch calendar;
//   "btnReimprimir" (4 or R) a receipt issued today, picked by number or consumer name in the
//   touch pick list, printed again as "SEGUNDA VIA"; "btnFechar" or Escape closes. Reports
//   show in "frmRelatorio" ("txtRelatorio", "btnImprimir" or key P, "lblImpressao",
//   "btnFechar") and print as receipts do (a printer, or a PDF in cupons/).
// Bipe: the till's tone for one answer of a badge read, returns at once. The default rings the
//   system bell (QApplication::beep) in a pattern per answer, one tone replacing the one still
//   ringing: 1 one beep, 2/3/4 two/three/four quick beeps, 5/6 two/three slow ones. A host with
//   a speaker of its own assigns its own.

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>

#include <hul00002/hul00002_export.h>

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
using TTecladoNumerico = std::function<bool(QString& entrada, const QString& titulo,
                                            const QString& instrucao, const QString& textoVazio,
                                            int tamanho, int a6, int a7, int a8, int a9, int a10)>;
// Waiting window over a form: (form, text, cor1, cor2); returns at once.
using TAtivaProcesso = std::function<void(QWidget* form, const QString& texto, int cor1, int cor2)>;
using TDesativaProcesso = std::function<void()>;
// One sale with its receipt per record of the hand-over packet:
// (packet, 0, 16 empty options, result).
using TGeraCupomVenda = std::function<void(const QVariant& pacote, int arg2,
                                           const QVariantList& opcoes, QVariant& resultado)>;
using TRelFiscais = std::function<void()>;
// The answers of a badge read, each with its own tone.
enum Tom : int {
    TomMarcado = 1,
    TomJaMarcado = 2,
    TomJaServiu = 3,
    TomInativo = 4,
    TomForaDaLista = 5,
    TomSemLista = 6,
};
using TBipe = std::function<void(int tom)>;

extern HUL00002_EXPORT TPesquisa Pesquisa;
extern HUL00002_EXPORT TTouchCalendar TouchCalendar;
extern HUL00002_EXPORT TTecladoNumerico TecladoNumerico;
extern HUL00002_EXPORT TAtivaProcesso AtivaProcesso;
extern HUL00002_EXPORT TDesativaProcesso DesativaProcesso;
extern HUL00002_EXPORT TGeraCupomVenda GeraCupomVenda;
extern HUL00002_EXPORT TRelFiscais RelFiscais;
extern HUL00002_EXPORT TBipe Bipe;

// Assigns the package's real implementations to every variable.
HUL00002_EXPORT void InstallDefaults();
// Puts every variable back to "not installed" (raises when called).
HUL00002_EXPORT void ResetToUnassigned();

}  // namespace Hul00002

#pragma once

// Where it lives: TfrmPresenca.cpp lifecycle and wiring; TfrmPresenca_Construcao.cpp layout,
// components, catalogue and field definitions; _Cabecalho the header steps, _Lista loading,
// counters and views, _Grade marking, painting and keys, _Venda sale generation.
//
// The attendance screen: a borderless, rounded 800 x 595 window with the title band, the header
// of four steps (cost centre, service, date, hour), the list grid and the footer filters.
// Every component is a public member under its system name, with the same Qt objectName, so
// that the entry, tests and tools reach it by name.

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QString>
#include <QVariant>

#include <QElapsedTimer>

#include <pkg_kel00815/kel00815_export.h>
#include "module/screen/BadgeReader.h"
#include "platform/Controls.h"

class QFrame;
class QLabel;
class QPainter;
class QTimer;
namespace dataset {
class ClientDataSet;
class DataPacket;
class Field;
}  // namespace dataset
namespace platform {
class TMessages;
}

namespace Cli_Kel00815 {

class TLabel;

class KEL00815_TEST_EXPORT TfrmPresenca : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPresenca(QWidget* owner = nullptr);
    ~TfrmPresenca() override;

    // Called once by the entry between creation and showing; params are not used.
    void InicializaForm(const QVariant* params, int high);

    // --- header steps
    void VoltaCor();
    void MudaCor();
    void LimpaDados();

    // --- event handlers (the sender is the component the event came from)
    void FormShow(QObject* sender);
    void FormKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift);
    void lblSairClick(QObject* sender);
    void dxfCentCustoClick(QObject* sender);
    void dxfServicoClick(QObject* sender);
    void dxfDtVendaClick(QObject* sender);
    void dxfhrVendaClick(QObject* sender);
    void blbCarregarClick(QObject* sender);
    void blbGeraVendaClick(QObject* sender);
    void dxfPendenteClick(QObject* sender);
    void dxfInativosClick(QObject* sender);
    void dxfNcadsClick(QObject* sender);
    void dxfTotalGeralClick(QObject* sender);
    void panCabecEnter(QObject* sender);
    void panCabecClick(QObject* sender);
    void dbsPresencaCellClick(int column);
    void dbsPresencaTitleClick(int column);
    // row: the position of the painted row among the visible ones (not the current record).
    void dbsPresencaDrawColumnCell(QPainter& canvas, const QRect& rect, int column, int row);
    void dbsPresencaKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift);
    // Marks again the consumers the last sale run did not sell, those still markable; button
    // blbMarcaNaoVendidos or key "N" in the grid.
    void blbMarcaNaoVendidosClick(QObject* sender);
    // The banner of a till working without its server; a tap sends the sales kept on the
    // till and refreshes its copy, as soon as the server answers.
    void lblOfflineClick(QObject* sender);
    void MostraOffline();

    // --- badges: a read (from the reader or typed), the code typed on the keypad (F2), a name
    // or badge found in the list through the pick list (F3)
    void LeCracha(const QString& codigo);
    void DigitaCracha();
    void ProcuraConsumidor();
    void ProximoConsumidor();  // F4: the next row that matches what the pick list was given

    // Display handlers of cdsServico.
    static void cdsServicoHRINISERTURGetText(const dataset::Field& sender, QString& text,
                                             bool displayText);
    static void cdsServicoHRFINSERTURGetText(const dataset::Field& sender, QString& text,
                                             bool displayText);
    static void cdsServicoIDIMPCUPOMAUTGetText(const dataset::Field& sender, QString& text,
                                               bool displayText);

    // --- background and bands
    platform::TBlendedShape* blsBorda1;
    platform::TBlendedShape* blsFundo;
    platform::TBlendedShape* BlendedShape1;
    platform::TBlendedShape* blsCabec;
    // --- title band
    QLabel* imgTopo;
    TLabel* lblCabec;
    TLabel* lblSair;
    // --- header panel
    QFrame* panCabec;
    TLabel* lblCentCus;
    TLabel* lblServico;
    TLabel* lblDtVenda;
    TLabel* lblHrVenda;
    platform::TBlendedButton* blbFundo1;
    platform::TBlendedButton* blbFundo2;
    platform::TBlendedButton* blbFundo3;
    platform::TBlendedButton* blbFundo4;
    platform::TBlendedButton* blbCentCusto;
    platform::TBlendedButton* blbServico;
    platform::TBlendedButton* blbDtVenda;
    platform::TBlendedButton* blbHrVenda;
    platform::TdxfColorButton* dxfCentCusto;
    platform::TdxfColorButton* dxfServico;
    platform::TdxfColorButton* dxfDtVenda;
    platform::TdxfColorButton* dxfhrVenda;
    TLabel* lblF9;
    TLabel* Label2;
    TLabel* Label1;
    TLabel* Label3;
    platform::TBlendedBitBtn* blbCarregar;
    platform::TBlendedBitBtn* blbGeraVenda;
    // Shown only while the list holds consumers the last sale run did not sell.
    platform::TBlendedButton* blbMarcaNaoVendidos;
    // --- list
    QFrame* panFundo;
    platform::TDBSortGrid* dbsPresenca;
    // --- footer
    platform::TdxfColorButton* dxfPendente;
    TLabel* lblPendentes;
    TLabel* lblTotPendente;
    platform::TdxfColorButton* dxfInativos;
    TLabel* lblInativos;
    TLabel* lblTotInativo;
    platform::TdxfColorButton* dxfNcads;
    TLabel* lblVendaGerada;
    TLabel* lblTotVenda;
    platform::TdxfColorButton* dxfTotalGeral;
    TLabel* lblTotalGeral;
    TLabel* lblTotGeral;
    TLabel* lblCodTela;
    TLabel* lblMarcados;      // "Marcados: N", whatever the view
    TLabel* lblTeclasCracha;  // the keys of the badge and the search
    QLabel* lblLeitura;       // the answer to a read, over the foot of the grid
    TLabel* lblNaoVendidos;   // "Não vendidos: N", shown with blbMarcaNaoVendidos
    TLabel* lblOffline;       // where the data comes from when not the server; hidden when it is
    // --- check pictures the grid draws from (never visible)
    QLabel* imgUncheck;
    QLabel* imgCheck;
    // --- non-visual
    platform::TMessages* msgPadrao;
    platform::TMessages* msgLeitor;  // the texts of badge reads
    dataset::ClientDataSet* cdsPresenca;
    dataset::ClientDataSet* cdsServico;
    dataset::ClientDataSet* cdsPesqCentCusto;
    dataset::ClientDataSet* cdsPresencaAux;
    dataset::ClientDataSet* cdsProdServ;
    dataset::ClientDataSet* cdsTipoCons;
    dataset::ClientDataSet* cdsProdServTCons;
    dataset::ClientDataSet* cdsParametrosZor;
    dataset::ClientDataSet* cdsPesqConsumidor;  // badge and name of the list, for the pick list

    // Tells a reader's bursts from a person's keys; its settings come from conexao.ini.
    BadgeBurst leitorCracha;

    // --- the screen's state (empty texts and 0 at creation)
    QString stCdServFili;
    QString stArqParametros;
    QString stIdEsquema;
    QString stCdFilial;
    QString stCdCaixa;
    QString stCdCCusClie;
    QString stHrIniSerTur;
    QString stHrFinSerTur;
    int inPasso = 0;
    int inCor1 = 0;
    int inCor2 = 0;
    int inCor3 = 0;
    int inCor4 = 0;
    int inCor5 = 0;
    int inCor6 = 0;

    void reject() override;  // refused while "X" is disabled

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void criaComponentes();
    void criaDataSets();
    void criaCatalogo();
    void criaLeitor();
    void aplicaGeometria();
    void ligaEventos();
    void aplicaColunasGrade();
    void mensagem(const QString& texto, const QString& esquema);
    // The list and its counters from one packet; an empty packet gives the empty list.
    void carregaLista(const dataset::DataPacket& pacote);
    // A filter is changed in three steps: off, the text, on.
    void aplicaFiltro(const QString& texto);
    // The four header captions, checked in order; false after the message of the first empty.
    bool cabecalhoCompleto();
    // The text of a row's state for tooltips and accessibility.
    QString descricaoDaLinha(int row) const;
    int primeiraColunaVisivel() const;

    // Sale generation: the run inside the final steps (false when it stopped at the header,
    // before anything changed), the header check, the service the hour gives, the hand-over
    // records, the product check, and a kind 2 notice from the catalogue.
    bool geraVendas();
    bool cabecalhoVendavel();
    bool horaDoServicoEscolhido();
    void mostraResumoDaVenda();
    void preencheEntrega();
    bool faltamProdutos();
    void avisa(const QString& chave);

    // Who the last sale run did not sell (consumer code, reason), for the header of that run:
    // read from the generator's result, forgotten when the list is emptied, loaded for another
    // header or handed to a later run.
    void guardaNaoVendidos(const QVariant& resultado);
    void esqueceNaoVendidos();
    bool naoVendidosDoCabecalho() const;
    // A row of the list (its position in the view) that the run did not sell and that has no
    // sale since; with the generator's reason.
    bool naoVendido(int row, QString* motivo = nullptr) const;
    void mostraNaoVendidos();  // the footer count and the button
    struct {
        QString centroCusto, servico, data;
        QHash<QString, QString> motivos;
    } naoVendidos_;

    // Badge reads: the answer shown and heard, the row found made current and seen clear of
    // the banner, the marked count.
    void responde(const QString& texto, int corTexto, int tom);
    void trazParaVista(qint64 linha);
    void reservaBanner();
    void atualizaMarcados();
    bool teclaDoLeitor(QKeyEvent* e);

    QPixmap marcaPintada_[2];           // the check pictures with olive left transparent
    QLabel* lblResumoVenda_ = nullptr;  // what a run will sell, beside its confirmation
    bool listaCarregada_ = false;       // a load succeeded and nothing emptied the list since
    QString crachaDestacado_;           // the row of the last read, painted apart while it shows
    QString fragmento_;                 // what the last search typed, for the next match
    QTimer* tmrLeitura = nullptr;       // hides the answer
    QElapsedTimer relogioTeclas_;       // for key presses that carry no timestamp
};

}  // namespace Cli_Kel00815

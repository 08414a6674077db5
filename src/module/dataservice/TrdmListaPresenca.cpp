#include "module/dataservice/TrdmListaPresenca.h"

#include <QSqlDatabase>
#include <QSqlDriver>

#include <sqlite3.h>

#include "module/dataservice/ColacaoPtBr.h"
#include "module/dataservice/Consultas.h"
#include "module/dataservice/TADOQuery.h"
#include "platform/Platform.h"

namespace Srv_Kel00815 {

TrdmListaPresenca* rdmListaPresenca = nullptr;

namespace {

int registraNaAbertura(sqlite3* db, char**, const sqlite3_api_routines*) {
    colacao::registraPtBr(db);
    return SQLITE_OK;
}

// Every SQLite connection this process opens from now on knows PTBR: the sale generator's
// own connection and the SQLite ODBC driver's as well, so an index declared with it never
// stops them. Withdrawn when the module is unloaded, since SQLite would call into it.
void registraPtBrNoProcesso() {
    struct Registro {
        Registro() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&registraNaAbertura)); }
        ~Registro() {
            sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&registraNaAbertura));
        }
    };
    static Registro registro;
}

TADOQuery* novaConsulta(const char* nome, platform::TADOConnection* conexao, const char* tsql,
                        const char* sqlite, QObject* dono) {
    auto* q = new TADOQuery(QString::fromLatin1(nome), dono);
    q->Connection = conexao;
    q->setSQL(tsql, sqlite, {QStringLiteral("P_DTENTRVENDA")});
    return q;
}

TStringField* novoCampo(TADOQuery* q, const char* campo, int tamanho, int indice, QObject* dono) {
    const QString nome = QString::fromLatin1(campo);
    auto* f = new TStringField(q->objectName() + nome, nome, tamanho, dono);
    q->addField(f, indice);
    return f;
}

}  // namespace

TrdmListaPresenca::TrdmListaPresenca(QObject* owner) : QObject(owner) {
    using namespace consultas;
    setObjectName(QStringLiteral("rdmListaPresenca"));
    registraPtBrNoProcesso();

    adcListaPresenca = new platform::TADOConnection(this);
    adcListaPresenca->setObjectName(QStringLiteral("adcListaPresenca"));
    adcListaPresenca->setProvider(QStringLiteral("MSDAORA.1"));
    adcListaPresenca->BeforeConnect = [this](QObject* s) { adcListaPresencaBeforeConnect(s); };
    adcListaPresenca->AfterConnect = [this](QObject* s) { adcListaPresencaAfterConnect(s); };

    adqCentroCusto = novaConsulta("adqCentroCusto", adcListaPresenca, kCentroCustoTSql,
                                  kCentroCustoSqlite, this);
    dspCentroCusto = new TDataSetProvider(QStringLiteral("dspCentroCusto"), adqCentroCusto, this);
    adqServico = novaConsulta("adqServico", adcListaPresenca, kServicoTSql, kServicoSqlite, this);
    dspServico = new TDataSetProvider(QStringLiteral("dspServico"), adqServico, this);
    adqPresenca =
        novaConsulta("adqPresenca", adcListaPresenca, kPresencaTSql, kPresencaSqlite, this);
    dspPresenca = new TDataSetProvider(QStringLiteral("dspPresenca"), adqPresenca, this);
    // The attendance packet's columns, their order and widths are fixed by these fields.
    adqPresencaIDCHECK = novoCampo(adqPresenca, "IDCHECK", 1, 0, this);
    adqPresencaCDFILIAL = novoCampo(adqPresenca, "CDFILIAL", 4, 1, this);
    adqPresencaCDCAIXA = novoCampo(adqPresenca, "CDCAIXA", 3, 2, this);
    adqPresencaCDIDCONSUMID = novoCampo(adqPresenca, "CDIDCONSUMID", 21, 3, this);
    adqPresencaNMCONSUMIDOR = novoCampo(adqPresenca, "NMCONSUMIDOR", 50, 4, this);
    adqPresencaIDSITCONSUMI = novoCampo(adqPresenca, "IDSITCONSUMI", 1, 5, this);
    adqPresencaCDCLIENTE = novoCampo(adqPresenca, "CDCLIENTE", 21, 7, this);
    adqPresencaCDTIPOCONS = novoCampo(adqPresenca, "CDTIPOCONS", 2, 8, this);
    adqProdServ =
        novaConsulta("adqProdServ", adcListaPresenca, kProdServTSql, kProdServSqlite, this);
    dspProdServ = new TDataSetProvider(QStringLiteral("dspProdServ"), adqProdServ, this);
    adqTipoCons =
        novaConsulta("adqTipoCons", adcListaPresenca, kTipoConsTSql, kTipoConsSqlite, this);
    dspTipoCons = new TDataSetProvider(QStringLiteral("dspTipoCons"), adqTipoCons, this);
    adqProdServTCons = novaConsulta("adqProdServTCons", adcListaPresenca, kProdServTConsTSql,
                                    kProdServTConsSqlite, this);
    dspProdservTCons =
        new TDataSetProvider(QStringLiteral("dspProdservTCons"), adqProdServTCons, this);
    adqPresencaCDCONSUMIDOR = novoCampo(adqPresenca, "CDCONSUMIDOR", 21, 9, this);
    adqPresencaDTHRREALCONCONS = novoCampo(adqPresenca, "DTHRREALCONCONS", 10, 6, this);
}

TrdmListaPresenca::~TrdmListaPresenca() {
    // The queries hold no statement between calls; the connection closes with its object.
    if (rdmListaPresenca == this) rdmListaPresenca = nullptr;
}

void TrdmListaPresenca::MtsDataModuleActivate(QObject*) {
    platform::TryConnect(*adcListaPresenca);
}

void TrdmListaPresenca::MtsDataModuleDeactivate(QObject*) {
    adcListaPresenca->setConnected(false);
}

void TrdmListaPresenca::adcListaPresencaAfterConnect(QObject*) {
    QSqlDatabase db = adcListaPresenca->database();
    if (db.driverName() == QLatin1String("QSQLITE") && db.driver()) {
        const QVariant h = db.driver()->handle();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            colacao::registraPtBrSobDemanda(*static_cast<sqlite3* const*>(h.constData()));
    }
    // A database without the queries' tables is not the till's: the connect fails with that
    // message, closed and unknown to the platform, instead of the first pick with "no such table".
    try {
        adcListaPresenca->requireTables(
            {QStringLiteral("CONSUMIDOR"), QStringLiteral("CLIENFILIAL"), QStringLiteral("VENDA"),
             QStringLiteral("SERVTURCAIXA"), QStringLiteral("SERVICO"),
             QStringLiteral("PRODTURCAIXA"), QStringLiteral("PRODSERVTCON")});
    } catch (...) {
        adcListaPresenca->setConnected(false);
        throw;
    }
    platform::SetADODBSession(*adcListaPresenca);
}

void TrdmListaPresenca::adcListaPresencaBeforeConnect(QObject*) {
    const QString conexao = platform::_GetStringConexZor(QString());
    adcListaPresenca->setConnectionString(conexao);
}

void TrdmListaPresenca::StartTrans() {
    if (!adcListaPresenca->inTransaction()) adcListaPresenca->BeginTrans();
}

void TrdmListaPresenca::CommitTrans() {
    if (adcListaPresenca->inTransaction()) adcListaPresenca->CommitTrans();
}

void TrdmListaPresenca::RollbackTrans() {
    if (adcListaPresenca->inTransaction()) adcListaPresenca->RollbackTrans();
}

// ---------------------------------------------------------------- the six functions

namespace {

TrdmListaPresenca& modulo() {
    if (!rdmListaPresenca)
        throw platform::Error(QStringLiteral("Módulo de dados da Lista de Presença não criado."));
    return *rdmListaPresenca;
}

// The error text in place of the packet; nothing may escape, not even from the formatting.
QVariant textoDoErro(std::exception_ptr e) {
    try {
        return QVariant(platform::ADOExceptionMessage(
            e, rdmListaPresenca ? rdmListaPresenca->adcListaPresenca : nullptr, QString()));
    } catch (...) {
        return QVariant(QStringLiteral("Erro ao consultar o banco de dados."));
    }
}

template <typename Atribui>
QVariant executa(TADOQuery* TrdmListaPresenca::*consulta,
                 TDataSetProvider* TrdmListaPresenca::*provedor, Atribui atribui) noexcept {
    try {
        TrdmListaPresenca& dm = modulo();
        TADOQuery* q = dm.*consulta;
        q->Close();
        atribui(q->Parameters);
        q->Open();
        return (dm.*provedor)->GetData();
    } catch (...) {
        return textoDoErro(std::current_exception());
    }
}

void texto(TParameters& p, const char* nome, const QString& valor) {
    platform::RefuseNul(valor, QStringLiteral("O valor de %1").arg(QLatin1String(nome)));
    p.ParamByName(QString::fromLatin1(nome)).setAsString(valor);
}

}  // namespace

QVariant getCentroCusto() {
    return executa(&TrdmListaPresenca::adqCentroCusto, &TrdmListaPresenca::dspCentroCusto,
                   [](TParameters&) {});
}

QVariant getServico(const QString& filial, const QString& caixa) {
    return executa(&TrdmListaPresenca::adqServico, &TrdmListaPresenca::dspServico,
                   [&](TParameters& p) {
                       texto(p, "P_CDFILIAL", filial);
                       texto(p, "P_CDCAIXA", caixa);
                   });
}

QVariant getPresenca(const QString& filial, const QString& caixa, const QString& ccusto,
                     const QString& serv, const QString& dia) {
    return executa(&TrdmListaPresenca::adqPresenca, &TrdmListaPresenca::dspPresenca,
                   [&](TParameters& p) {
                       texto(p, "P_CDFILIAL", filial);
                       texto(p, "P_CDCAIXA", caixa);
                       texto(p, "P_CDCCUSCLIE", ccusto);
                       texto(p, "P_CDSERVFILI", serv);
                       texto(p, "P_DTENTRVENDA", dia);  // compared as text
                   });
}

QVariant getProdServ(const QString& filial, const QString& caixa, const QString& serv) {
    return executa(&TrdmListaPresenca::adqProdServ, &TrdmListaPresenca::dspProdServ,
                   [&](TParameters& p) {
                       texto(p, "P_CDFILIAL", filial);
                       texto(p, "P_CDCAIXA", caixa);
                       texto(p, "P_CDSERVFILI", serv);
                   });
}

QVariant getProdServTCons(const QString& filial, const QString& caixa, const QString& serv,
                          const QString& tipoCons) {
    return executa(&TrdmListaPresenca::adqProdServTCons, &TrdmListaPresenca::dspProdservTCons,
                   [&](TParameters& p) {
                       texto(p, "P_CDFILIAL", filial);
                       texto(p, "P_CDCAIXA", caixa);
                       texto(p, "P_CDSERVFILI", serv);
                       texto(p, "P_CDTIPOCONS", tipoCons);
                   });
}

QVariant getTipoCons(const QString& filial, const QString& caixa, const QString& ccusto,
                     const QString& serv, const QDateTime& dia) {
    return executa(&TrdmListaPresenca::adqTipoCons, &TrdmListaPresenca::dspTipoCons,
                   [&](TParameters& p) {
                       texto(p, "P_CDFILIAL", filial);
                       texto(p, "P_CDCAIXA", caixa);
                       texto(p, "P_CDCCUSCLIE", ccusto);
                       texto(p, "P_CDSERVFILI", serv);
                       p.ParamByName(QStringLiteral("P_DTENTRVENDA")).setAsDateTime(dia);
                   });
}

}  // namespace Srv_Kel00815

#include "module/dataservice/TrdmListaPresenca.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>

#include <dlfcn.h>

#include <algorithm>

#include "dataset/SqliteHandle.h"
#include "module/dataservice/Consultas.h"
#include "module/dataservice/ConsultasPostgres.h"
#include "module/dataservice/OfflinePolicy.h"
#include "module/dataservice/TADOQuery.h"
#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "textorder/ColacaoPtBr.h"

namespace Srv_Kel00815 {

TrdmListaPresenca* rdmListaPresenca = nullptr;

namespace {

// SQLite through ODBC hands the module no handle to register PTBR on; the SQLite ODBC driver
// loads the collation's extension itself, into this connection only. The extension sits
// beside the module.
QString comColacaoPtBr(const QString& conexao) {
    if (!conexao.contains(QLatin1String("sqlite"), Qt::CaseInsensitive) ||
        conexao.contains(QLatin1String("LoadExt"), Qt::CaseInsensitive))
        return conexao;
    try {
        const platform::ConnectionSettings cfg = platform::ConnectionSettings::parse(conexao);
        if (cfg.driver != QLatin1String("QODBC") || cfg.sqlServer) return conexao;
    } catch (const platform::Error&) {
        return conexao;  // the connect says what is wrong with it
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&comColacaoPtBr), &info) == 0 || !info.dli_fname)
        return conexao;
    const QString extensao =
        QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath() + QStringLiteral("/libptbr.so");
    if (!QFileInfo(extensao).isFile() || extensao.contains(QLatin1Char(';'))) return conexao;
    const bool fechada = conexao.trimmed().endsWith(QLatin1Char(';'));
    return conexao.trimmed() + (fechada ? QString() : QStringLiteral(";")) +
           QStringLiteral("LoadExt=") + extensao;
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

    adcListaPresenca = new platform::TADOConnection(this);
    adcListaPresenca->setObjectName(QStringLiteral("adcListaPresenca"));
    adcListaPresenca->setProvider(QStringLiteral("MSDAORA.1"));
    adcListaPresenca->BeforeConnect = [this](QObject* s) { adcListaPresencaBeforeConnect(s); };
    adcListaPresenca->AfterConnect = [this](QObject* s) { adcListaPresencaAfterConnect(s); };
    offlinePolicy = std::make_unique<OfflinePolicy>(*adcListaPresenca);

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

    adqCentroCusto->setSQLPostgres(kCentroCustoPostgres);
    adqServico->setSQLPostgres(kServicoPostgres);
    adqPresenca->setSQLPostgres(kPresencaPostgres);
    adqProdServ->setSQLPostgres(kProdServPostgres);
    adqTipoCons->setSQLPostgres(kTipoConsPostgres);
    adqProdServTCons->setSQLPostgres(kProdServTConsPostgres);
    adqPresencaLista = novaConsulta("adqPresencaLista", adcListaPresenca, kPresencaListaSqlite,
                                    kPresencaListaSqlite, this);
    adqPresencaVolume = novaConsulta("adqPresencaVolume", adcListaPresenca, kPresencaVolumeSqlite,
                                     kPresencaVolumeSqlite, this);
    adqCentroCustoCracha = novaConsulta("adqCentroCustoCracha", adcListaPresenca,
                                        kCentroCustoCrachaTSql, kCentroCustoCrachaSqlite, this);
    adqCentroCustoCracha->setSQLPostgres(kCentroCustoCrachaPostgres);
    // A badge is as long as its column, not cut as the other texts are.
    adqCentroCustoCracha->Parameters = TParameters();
    adqCentroCustoCracha->Parameters.declare(QStringLiteral("P_CDIDCONSUMID"), TFieldType::ftString,
                                             21);
    adqCentroCustoCracha->Parameters.declare(QStringLiteral("P_CDFILIAL"), TFieldType::ftString);
    adqCentroCustoCracha->Parameters.declare(QStringLiteral("P_CDCCUSCLIE"), TFieldType::ftString);
    dspCentroCustoCracha =
        new TDataSetProvider(QStringLiteral("dspCentroCustoCracha"), adqCentroCustoCracha, this);
}

TrdmListaPresenca::~TrdmListaPresenca() {
    offlinePolicy.reset();  // before the connection it watches
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
    // PTBR on this connection only: the host's own connections never call into the module,
    // which may be unloaded while they stay open.
    if (sqlite3* db = dataset::sqliteHandle(adcListaPresenca->database()))
        textorder::registraPtBrSobDemanda(db);
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
    offlinePolicy->afterConnect();
}

void TrdmListaPresenca::adcListaPresencaBeforeConnect(QObject*) {
    const QString conexao = platform::_GetStringConexZor(QString());
    adcListaPresenca->setConnectionString(comColacaoPtBr(conexao));
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
        platform::TADOConnection* c =
            rdmListaPresenca ? rdmListaPresenca->adcListaPresenca : nullptr;
        // A lost connection or a lock wait that ran out says so before the server's words.
        const QString oQue =
            c ? platform::textoDaFalha(platform::classificaFalha(e, c->dialeto())) : QString();
        return QVariant(platform::ADOExceptionMessage(e, c, oQue));
    } catch (...) {
        return QVariant(QStringLiteral("Erro ao consultar o banco de dados."));
    }
}

template <typename Atribui>
QVariant executa(TADOQuery* TrdmListaPresenca::*consulta,
                 TDataSetProvider* TrdmListaPresenca::*provedor, Atribui atribui,
                 bool carga = false) noexcept {
    try {
        TrdmListaPresenca& dm = modulo();
        TADOQuery* q = dm.*consulta;
        q->Close();
        dm.offlinePolicy->beforeRequest(carga);
        atribui(q->Parameters);
        // A connection the server dropped failed the last request; this one reconnects.
        platform::reconectaSePerdida(*dm.adcListaPresenca);
        try {
            q->Open();
        } catch (...) {
            platform::notaFalha(*dm.adcListaPresenca, std::current_exception());
            // The server went away and the till's copy took its place: asked again there.
            if (!dm.offlinePolicy->afterFailure(std::current_exception())) throw;
            q->Close();
            atribui(q->Parameters);
            q->Open();
        }
        return (dm.*provedor)->GetData();
    } catch (...) {
        return textoDoErro(std::current_exception());
    }
}

void texto(TParameters& p, const char* nome, const QString& valor) {
    platform::RefuseNul(valor, QStringLiteral("O valor de %1").arg(QLatin1String(nome)));
    p.ParamByName(QString::fromLatin1(nome)).setAsString(valor);
}

// The single number a helper query gives, with the attendance list's values of its markers.
qint64 numeroDe(TADOQuery* q, const TADOQuery& lista) {
    q->Close();
    for (int i = 0; i < q->Parameters.Count(); ++i) {
        TParameter& p = q->Parameters.Items(i);
        const TParameter* daLista = lista.Parameters.find(p.Name());
        const QVariant valor = daLista ? daLista->Value() : lista.sqliteValue(p.Name());
        if (valor.isNull())
            p.Clear();
        else
            p.setAsString(valor.toString());
    }
    q->Open();
    const qint64 n = q->Result().rowCount() == 1 ? q->Result().value(0, 0).toLongLong() : 0;
    q->Close();
    return n;
}

// On SQLite the list is read one of two ways, a seek of the sales per consumer or the day's
// sales read once. A list under 2,000 consumers always seeks (a few milliseconds either way);
// for a longer one the volume query, cheap next to either, says which reads less.
void escolheLeituraDaPresenca(TrdmListaPresenca& dm) {
    // The other servers have one text each; only SQLite chooses its plan by what it will read.
    if (dm.adcListaPresenca->dialeto() != platform::Dialeto::Sqlite) return;
    TADOQuery& q = *dm.adqPresenca;
    // The day's bounds from the day as bound (cut to its size): NULL, and so no sale, for a
    // text that is no day.
    const auto limites = consultas::limitesDoDia(
        q.Parameters.ParamByName(QStringLiteral("P_DTENTRVENDA")).Value().toString());
    q.setSqliteValue(QStringLiteral("P_DIAINI"), limites ? QVariant(limites->first) : QVariant());
    q.setSqliteValue(QStringLiteral("P_DIAFIM"), limites ? QVariant(limites->second) : QVariant());
    const qint64 consumidores = numeroDe(dm.adqPresencaLista, q);
    const bool doDia = consumidores >= 2000 && numeroDe(dm.adqPresencaVolume, q) == 1;
    q.setSqliteText(doDia ? consultas::kPresencaDiaSqlite : consultas::kPresencaSqlite);
    q.RowsHint = int(std::min<qint64>(consumidores, 1000000));
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
    return executa(
        &TrdmListaPresenca::adqPresenca, &TrdmListaPresenca::dspPresenca,
        [&](TParameters& p) {
            texto(p, "P_CDFILIAL", filial);
            texto(p, "P_CDCAIXA", caixa);
            texto(p, "P_CDCCUSCLIE", ccusto);
            texto(p, "P_CDSERVFILI", serv);
            texto(p, "P_DTENTRVENDA", dia);  // compared as text
            escolheLeituraDaPresenca(modulo());
        },
        true);
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

QVariant getCentroCustoCracha(const QString& filial, const QString& cracha, const QString& ccusto) {
    return executa(&TrdmListaPresenca::adqCentroCustoCracha,
                   &TrdmListaPresenca::dspCentroCustoCracha, [&](TParameters& p) {
                       texto(p, "P_CDIDCONSUMID", cracha);
                       texto(p, "P_CDFILIAL", filial);
                       texto(p, "P_CDCCUSCLIE", ccusto);
                   });
}

}  // namespace Srv_Kel00815

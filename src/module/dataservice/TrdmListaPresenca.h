#pragma once

#include <QDateTime>
#include <QObject>
#include <QVariant>

#include <memory>

#include <pkg_kel00815/kel00815_export.h>
#include "platform/TADOConnection.h"

namespace Srv_Kel00815 {

class OfflinePolicy;
class TADOQuery;
class TDataSetProvider;
class TStringField;

// The data module: the one connection, the six queries with their providers.
// Created with no owner by InicializaForm, freed by the entry; creating it does not connect.
// Every component is a child named as its member (objectName).
class KEL00815_TEST_EXPORT TrdmListaPresenca : public QObject {
    Q_OBJECT
public:
    explicit TrdmListaPresenca(QObject* owner = nullptr);
    ~TrdmListaPresenca() override;

    platform::TADOConnection* adcListaPresenca;
    TADOQuery* adqCentroCusto;
    TDataSetProvider* dspCentroCusto;
    TADOQuery* adqServico;
    TDataSetProvider* dspServico;
    TDataSetProvider* dspPresenca;
    TADOQuery* adqPresenca;
    TStringField* adqPresencaIDCHECK;
    TStringField* adqPresencaCDFILIAL;
    TStringField* adqPresencaCDCAIXA;
    TStringField* adqPresencaCDIDCONSUMID;
    TStringField* adqPresencaNMCONSUMIDOR;
    TStringField* adqPresencaIDSITCONSUMI;
    TStringField* adqPresencaCDCLIENTE;
    TStringField* adqPresencaCDTIPOCONS;
    TADOQuery* adqProdServ;
    TDataSetProvider* dspProdServ;
    TADOQuery* adqTipoCons;
    TDataSetProvider* dspTipoCons;
    TADOQuery* adqProdServTCons;
    TDataSetProvider* dspProdservTCons;
    TStringField* adqPresencaCDCONSUMIDOR;
    TStringField* adqPresencaDTHRREALCONCONS;
    // SQLite only: whether the day's sales read less than a seek per consumer (getPresenca).
    TADOQuery* adqPresencaLista;
    TADOQuery* adqPresencaVolume;
    // The other cost centre of a badge read outside the list (not one of the six).
    TADOQuery* adqCentroCustoCracha;
    TDataSetProvider* dspCentroCustoCracha;
    // The till's copy while its server is away.
    std::unique_ptr<OfflinePolicy> offlinePolicy;

    // Published: a host may also reach them by name through the meta-object.
    Q_INVOKABLE void MtsDataModuleActivate(QObject* sender);
    Q_INVOKABLE void MtsDataModuleDeactivate(QObject* sender);
    Q_INVOKABLE void adcListaPresencaAfterConnect(QObject* sender);
    Q_INVOKABLE void adcListaPresencaBeforeConnect(QObject* sender);

    // One transaction level at most; ending none is a silent no-op.
    void StartTrans();
    void CommitTrans();
    void RollbackTrans();
};

extern KEL00815_EXPORT TrdmListaPresenca* rdmListaPresenca;

// Each returns the packet of its query, or in its place the error text; never raises.
// Text arguments are bound as values, cut to 16 characters; one holding NUL is refused.
KEL00815_EXPORT QVariant getCentroCusto();
KEL00815_EXPORT QVariant getServico(const QString& filial, const QString& caixa);
KEL00815_EXPORT QVariant getPresenca(const QString& filial, const QString& caixa,
                                     const QString& ccusto, const QString& serv,
                                     const QString& dia);
KEL00815_EXPORT QVariant getProdServ(const QString& filial, const QString& caixa,
                                     const QString& serv);
KEL00815_EXPORT QVariant getProdServTCons(const QString& filial, const QString& caixa,
                                          const QString& serv, const QString& tipoCons);
KEL00815_EXPORT QVariant getTipoCons(const QString& filial, const QString& caixa,
                                     const QString& ccusto, const QString& serv,
                                     const QDateTime& dia);

// The cost centre, other than `ccusto`, of the branch's consumer whose badge is `cracha`:
// a packet with one column CDCCUSCLIE and at most one row, or the error text.
KEL00815_TEST_EXPORT QVariant getCentroCustoCracha(const QString& filial, const QString& cracha,
                                                   const QString& ccusto);

}  // namespace Srv_Kel00815

#include "module/dataservice/OfflinePolicy.h"

#include "dataset/ClientDataSet.h"
#include "module/dataservice/TrdmListaPresenca.h"
#include "module/params/ParametrosZor.h"
#include "platform/DialetoBanco.h"
#include "platform/OfflineState.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"
#include "pos/sale/OfflineSales.h"
#include "pos/sale/TillCopy.h"
#include "pos/sale/TillCopyRefresh.h"

namespace Srv_Kel00815 {

namespace {

bool serverAway(const platform::TADOConnection& c, std::exception_ptr e) {
    return c.connectTimedOut() || Hul00002::serverAway(e);
}

QString messageOf(std::exception_ptr e) {
    return platform::TextoDaExcecao(e, QStringLiteral("Falha ao conectar ao banco de dados."),
                                    nullptr);
}

}  // namespace

void branchAndTill(QString* branch, QString* till) {
    dataset::ClientDataSet cds;
    const Cli_Kel00815::ParametrosTerminal p = Cli_Kel00815::LerParametrosZor(cds);
    *branch = p.stCdFilial;
    *till = p.stCdCaixa;
}

bool namesAServer(const QString& s) {
    try {
        const platform::ConnectionSettings cfg = platform::ConnectionSettings::parse(s);
        if (cfg.driver == QLatin1String("QSQLITE")) return false;
        return cfg.sqlServer || !s.contains(QLatin1String("sqlite"), Qt::CaseInsensitive);
    } catch (const std::exception&) {
        return false;  // the connect says what is wrong with it
    }
}

OfflinePolicy::OfflinePolicy(platform::TADOConnection& c) : c_(c) {
    c_.InsteadOfFailedConnect = [this](std::exception_ptr e) { return onConnectFailed(e); };
}

OfflinePolicy::~OfflinePolicy() {
    c_.InsteadOfFailedConnect = nullptr;
}

bool OfflinePolicy::onCopy() const {
    return c_.connected() && c_.openConnectionString() != c_.connectionString();
}

QString OfflinePolicy::onConnectFailed(std::exception_ptr e) {
    server_ = c_.connectionString();
    // A refused login, a wrong string: errors to fix, not a server away.
    if (!namesAServer(server_) || !serverAway(c_, e)) return {};
    QString branch, till;
    try {
        branchAndTill(&branch, &till);
    } catch (const std::exception&) {
        return {};  // the screen reports the parameter file itself
    }
    const QString path = Hul00002::tillCopyPath();
    const Hul00002::TillCopyCheck check =
        Hul00002::checkTillCopy(path, branch, till, Hul00002::serverDigest(server_));
    if (check.state == Hul00002::TillCopyState::Valid) {
        qCWarning(platform::lcBanco).noquote()
            << QStringLiteral("Servidor fora; a lista vem da cópia do caixa (%1).")
                   .arg(messageOf(e));
        platform::OfflineState::instance().setOffline(check.info->takenAt);
        return path;
    }
    if (check.state == Hul00002::TillCopyState::Missing)
        throw platform::Error(messageOf(e) +
                              QStringLiteral(" Este caixa ainda não tem uma cópia dos dados para "
                                             "trabalhar sem o servidor."));
    const QString reason = check.reason();
    Hul00002::setTillCopyAside(path, reason);
    throw platform::Error(messageOf(e) +
                          QStringLiteral(" A cópia dos dados deste caixa %1 e foi posta de lado; "
                                         "uma nova será feita na próxima conexão com o servidor.")
                              .arg(reason));
}

void OfflinePolicy::afterConnect() {
    if (onCopy()) return;  // the state was set as the connect fell back
    const QString server = c_.connectionString();
    if (!namesAServer(server)) return;
    platform::OfflineState::instance().setOnline();
    QString branch, till;
    try {
        branchAndTill(&branch, &till);
    } catch (const std::exception&) {
        return;
    }
    if (branch.isEmpty() || till.isEmpty()) return;
    Hul00002::startTillSync(server, branch, till);
}

void OfflinePolicy::beforeRequest(bool load) {
    if (!onCopy()) return;
    platform::OfflineState& state = platform::OfflineState::instance();
    if (state.takeServerAnswered()) {
        // The server answered a moment ago: this request goes to it (and back to the copy, if
        // it went away again meanwhile).
        c_.setConnected(false);
        c_.setConnected(true);
        return;
    }
    if (load) state.tryServer(server_);
}

bool OfflinePolicy::afterFailure(std::exception_ptr e) {
    if (onCopy() || !c_.perdida() || !namesAServer(c_.connectionString())) return false;
    try {
        platform::reconectaSePerdida(c_);
    } catch (...) {
        return false;  // still away, and no copy: the failure stands
    }
    Q_UNUSED(e);
    return onCopy();
}

bool OfflinePolicy::waitForServerAttempt(int ms) {
    return platform::OfflineState::instance().waitForServerAttempt(ms);
}

void syncTillNow() {
    QString server;
    try {
        server = platform::_GetStringConexZor(QString());
    } catch (const std::exception&) {
        return;
    }
    if (!namesAServer(server)) return;
    QString branch, till;
    try {
        branchAndTill(&branch, &till);
    } catch (const std::exception&) {
        return;
    }
    Hul00002::startTillSync(server, branch, till);
    if (rdmListaPresenca && rdmListaPresenca->offlinePolicy)
        rdmListaPresenca->offlinePolicy->beforeRequest(true);
}

}  // namespace Srv_Kel00815

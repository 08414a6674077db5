#include <QCoreApplication>
#include <QDebug>

#include "dataset/FieldDef.h"
#include "platform/ConnectionText_p.h"
#include "platform/DialetoBanco.h"
#include "platform/Platform.h"
#include "platform/Registro.h"
#include "platform/TADOConnection.h"

namespace platform {

Error::Error(const QString& message) : std::runtime_error(message.toUtf8().toStdString()) {}
Error::~Error() = default;

const char* EAbort::what() const noexcept {
    return "Operação interrompida.";
}

namespace {

QString databaseMessage(const QString& driverText, const QString& nativeCode) {
    // The failures a till meets every day reach the operator in Portuguese; the driver's own
    // words stay for support.
    const QString operador = textoParaOperador(classificaFalhaDoCaixa(driverText, nativeCode));
    if (!operador.isEmpty()) {
        qCWarning(lcBanco).noquote()
            << QStringLiteral("Falha do banco de dados: %1 (código %2)")
                   .arg(detail::scrubSecrets(driverText, QString()), nativeCode.trimmed());
        return operador;
    }
    QString text = driverText.trimmed();
    if (text.isEmpty()) text = QStringLiteral("Erro no banco de dados.");
    const QString code = nativeCode.trimmed();
    if (!code.isEmpty() && code != QLatin1String("0"))
        text += QStringLiteral(" (código ") + code + QLatin1Char(')');
    return text;
}

ErrorDisplay& errorDisplay() {
    static ErrorDisplay display;
    return display;
}

void defaultErrorDisplay(const QString& message) {
    Mensagem(message, QString(), QStringLiteral("N"), QStringLiteral("N"), 3, QString(), QString(),
             0, nullptr);
}

}  // namespace

DatabaseError::DatabaseError(const QString& driverText, const QString& nativeCode)
    : Error(databaseMessage(driverText, nativeCode)),
      driverText_(driverText),
      nativeCode_(nativeCode) {}
DatabaseError::~DatabaseError() = default;

ErrorDisplay SetErrorDisplay(ErrorDisplay d) {
    ErrorDisplay previous = std::move(errorDisplay());
    errorDisplay() = std::move(d);
    return previous;
}

QString TextoDaExcecao(std::exception_ptr e, const QString& desconhecida, TADOConnection* conexao) {
    QString text = desconhecida;
    try {
        if (e) std::rethrow_exception(e);
    } catch (const Error& ex) {
        text = ex.message();
    } catch (const dataset::DataSetError& ex) {
        text = ex.message();
    } catch (const std::exception& ex) {
        text = QString::fromUtf8(ex.what());
    } catch (...) {
    }
    if (conexao) text = detail::scrubSecrets(text, conexao->connectionString());
    // The session and a connection that failed before becoming one are alive too.
    for (const QString& cs : detail::liveConnectionStrings()) text = detail::scrubSecrets(text, cs);
    return detail::scrubSecrets(text, QString());
}

void HandleException(std::exception_ptr e) {
    if (!e) return;
    try {
        std::rethrow_exception(e);
    } catch (const EAbort&) {
        return;  // the operator has already been told
    } catch (...) {
    }
    const QString message = TextoDaExcecao(e, QStringLiteral("Ocorreu um erro inesperado."));
    if (errorDisplay())  // the default display shows it through Mensagem, which logs it
        qCWarning(lcOperador).noquote() << "Erro mostrado pelo host:" << message;
    // This runs where Qt must not see an exception: a failing display is only logged.
    try {
        if (errorDisplay())
            errorDisplay()(message);
        else
            defaultErrorDisplay(message);
    } catch (...) {
        qWarning().noquote() << "Erro não exibido:" << message;
    }
}

}  // namespace platform

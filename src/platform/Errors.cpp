#include <QCoreApplication>
#include <QDebug>

#include "ConnectionText_p.h"
#include "Platform.h"
#include "TADOConnection.h"
#include "dataset/FieldDef.h"

namespace platform {

Error::Error(const QString& message) : std::runtime_error(message.toUtf8().toStdString()) {}

const char* EAbort::what() const noexcept {
    return "Operação interrompida.";
}

namespace {

QString databaseMessage(const QString& driverText, const QString& nativeCode) {
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

ErrorDisplay SetErrorDisplay(ErrorDisplay d) {
    ErrorDisplay previous = std::move(errorDisplay());
    errorDisplay() = std::move(d);
    return previous;
}

void HandleException(std::exception_ptr e) {
    if (!e) return;
    QString message;
    try {
        std::rethrow_exception(e);
    } catch (const EAbort&) {
        return;  // the operator has already been told
    } catch (const Error& ex) {
        message = ex.message();
    } catch (const dataset::DataSetError& ex) {
        message = ex.message();
    } catch (const std::exception& ex) {
        message = QStringLiteral("Ocorreu um erro inesperado: ") + QString::fromUtf8(ex.what());
    } catch (...) {
        message = QStringLiteral("Ocorreu um erro inesperado.");
    }
    if (TADOConnection* session = ADODBSession())
        message = detail::scrubSecrets(message, session->connectionString());
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

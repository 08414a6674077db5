#pragma once

// The shared platform library every screen module of the product requires: operator dialogs,
// result checking of data requests, colour scheme, text helpers, connection policy.

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "platform/platform_export.h"

class QWidget;
namespace dataset {
class ClientDataSet;
class DataPacket;
}  // namespace dataset

namespace platform {

class TADOConnection;

// A failure worded for the operator (UTF-8).
class PLATFORM_EXPORT Error : public std::runtime_error {
public:
    explicit Error(const QString& message);
    ~Error() override;  // out of line: the type's identity lives in this library only
    QString message() const { return QString::fromUtf8(what()); }
};

// Ends the running handler silently: the operator has already been told.
class PLATFORM_EXPORT EAbort : public std::exception {
public:
    const char* what() const noexcept override;
};

// A database failure: the driver's text and native code. Never carries a password.
class PLATFORM_EXPORT DatabaseError : public Error {
public:
    DatabaseError(const QString& driverText, const QString& nativeCode);
    ~DatabaseError() override;
    QString driverText() const { return driverText_; }
    QString nativeCode() const { return nativeCode_; }

private:
    QString driverText_;
    QString nativeCode_;
};

// --- operator dialogs

// The nine arguments of Mensagem, in their order.
struct MensagemArgs {
    QString texto;
    QString titulo;  // 2nd: empty in every call of the module
    QString flag3;   // "N"
    QString flag4;   // "N"; "S" on the sale confirmation (default answer yes)
    int tipo = 2;    // 1 question, 2 notice, 3 error
    QString arg6;
    QString esquema;  // scheme id
    int arg8 = 0;
    dataset::ClientDataSet* dataSet = nullptr;
};

// Kind 1 asks yes/no and returns the answer; kinds 2 and 3 show the text and return true.
PLATFORM_EXPORT bool Mensagem(const QString& texto, const QString& titulo, const QString& flag3,
                              const QString& flag4, int tipo, const QString& arg6,
                              const QString& esquema, int arg8, dataset::ClientDataSet* ds);

// Every Mensagem goes through the presenter; a host or a test replaces it (an empty function
// restores the real modal dialog). Returns the previous one.
using MensagemPresenter = std::function<bool(const MensagemArgs&)>;
PLATFORM_EXPORT MensagemPresenter SetMensagemPresenter(MensagemPresenter p);

// Checks a data-service result. A packet comes back as it is; an error text is shown
// (kind 3, the given scheme) and then EAbort is raised, so the calling handler stops
// instead of carrying on with an empty result.
PLATFORM_EXPORT dataset::DataPacket MensagemMetodo(const QVariant& resultado, bool mostraErro,
                                                   int arg3, const QString& metodo,
                                                   const QString& unidade, const QString& arg6,
                                                   const QString& esquema);

// Applies the terminal colour scheme to a form (see ColoreTela.cpp for what each paints).
PLATFORM_EXPORT void ColoreTela(QWidget* form, int cor1, int cor2, int cor3, int cor4, int cor5,
                                int cor6);
// 0x00BBGGRR -> QColor
PLATFORM_EXPORT QColor CorParaQColor(int cor);

// --- text helpers
PLATFORM_EXPORT QString Ajusta(const QString& texto, int largura);  // leading zeros
PLATFORM_EXPORT bool EmptyString(const QString& texto);
// Raises Error when a text holds the NUL character, which a driver would take for the text's end
// (and so match another value). `oQue` names the text for the operator: "O valor de P_CDFILIAL".
PLATFORM_EXPORT void RefuseNul(const QString& texto, const QString& oQue);

// The one rule that turns an exception into the text an operator sees: the words of an Error or
// a dataset failure, the text of any other exception, or `desconhecida` when it carries none;
// always without a password or a connection string (of `conexao`, of every connection alive, and
// any "Password=" pair up to its separator). Mensagem passes every text through it.
PLATFORM_EXPORT QString TextoDaExcecao(std::exception_ptr e, const QString& desconhecida,
                                       TADOConnection* conexao = nullptr);

// --- general error display (the host's): every screen handler runs through Guard.
using ErrorDisplay = std::function<void(const QString& message)>;
PLATFORM_EXPORT ErrorDisplay SetErrorDisplay(ErrorDisplay d);
// Reports the exception in flight (call inside catch) through the display; EAbort is silent.
PLATFORM_EXPORT void HandleException(std::exception_ptr e);

namespace detail {
// A call that depends on the signal's arguments, so that a compiler checks it only where it is
// chosen (clang rejects a plain f() in the discarded branch when f needs arguments).
template <typename F, typename... Args>
void callWithoutArguments(const F& f, Args&&...) {
    f();
}
}  // namespace detail

// Wraps an event handler so no exception ever crosses Qt's event loop. A handler that takes
// fewer arguments than the signal gives is called without them.
template <typename F>
auto Guard(F f) {
    return [f = std::move(f)](auto&&... args) {
        try {
            if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                detail::callWithoutArguments(f, std::forward<decltype(args)>(args)...);
        } catch (...) {
            HandleException(std::current_exception());
        }
    };
}

// --- today: from a clock a test can set (an empty function restores the system clock)
using Clock = std::function<QDateTime()>;
PLATFORM_EXPORT Clock SetClock(Clock c);
PLATFORM_EXPORT QDateTime Agora();
PLATFORM_EXPORT QDate Hoje();

// --- connection policy
// The till's connection string: env LISTAPRESENCA_CONEXAO, else the file conexao.ini beside
// the host executable (key Conexao=...), else the demo SQLite database beside it.
PLATFORM_EXPORT QString _GetStringConexZor(const QString& chave);
// Another setting of that file: the value of its line `chave=`, read as the connection string
// is (its encodings, comments and quotes); nullopt when the file or the line is missing.
PLATFORM_EXPORT std::optional<QString> ValorDoConexaoIni(const QString& chave);
PLATFORM_EXPORT void TryConnect(TADOConnection& conexao);
PLATFORM_EXPORT void SetADODBSession(TADOConnection& conexao);
PLATFORM_EXPORT TADOConnection* ADODBSession();  // the last connection made known
// Text of a failure for the operator: the driver's message and native code, never the
// password nor the whole connection string.
PLATFORM_EXPORT QString ADOExceptionMessage(std::exception_ptr e, TADOConnection* conexao,
                                            const QString& extra);

}  // namespace platform

#pragma once

#include <QString>

#include <exception>

namespace Cli_Kel00815 {

// The text of whatever was thrown, for the operator; `desconhecida` when it carries none.
inline QString TextoDaExcecao(std::exception_ptr e, const QString& desconhecida) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return QString::fromUtf8(ex.what());
    } catch (...) {
        return desconhecida;
    }
}

}  // namespace Cli_Kel00815

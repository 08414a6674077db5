#pragma once

#include "platform/TADOConnection.h"

namespace platform {

// A transaction that is undone unless committed: whatever leaves the scope early (an
// exception, a return) rolls it back, so a half-written unit of work never stays.
class Transacao {
public:
    explicit Transacao(TADOConnection& conexao) : conexao_(conexao) { conexao_.BeginTrans(); }
    ~Transacao() {
        if (!ativa_) return;
        try {
            conexao_.RollbackTrans();
        } catch (...) {
            // A connection that cannot roll back has lost the transaction anyway.
        }
    }
    Transacao(const Transacao&) = delete;
    Transacao& operator=(const Transacao&) = delete;

    // Raises when the database refuses; the destructor then still rolls back.
    void commit() {
        conexao_.CommitTrans();
        ativa_ = false;
    }
    void rollback() {
        ativa_ = false;
        conexao_.RollbackTrans();
    }
    bool ativa() const { return ativa_; }

private:
    TADOConnection& conexao_;
    bool ativa_ = true;
};

}  // namespace platform

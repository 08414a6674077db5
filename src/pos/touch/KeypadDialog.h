#pragma once

#include "pos/touch/TouchDialog.h"

class QLabel;
class QLineEdit;

namespace Hul00002::detail {

// Numeric keypad for a touch till. Confirming an empty entry first shows the empty-entry text
// in the message line; a second confirm, still empty, is accepted (the caller decides what an
// empty entry means).
class KeypadDialog : public TouchDialog {
    Q_OBJECT
public:
    KeypadDialog(const QString& entrada, const QString& titulo, const QString& instrucao,
                 const QString& textoVazio, int tamanho, QWidget* parent = nullptr);
    QString entrada() const;

    void digita(QChar digito);
    void apaga();
    void limpa();
    void confirma();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void mostraAviso(const QString& texto);

    QString textoVazio_;
    int tamanho_;
    bool avisouVazio_ = false;
    QLineEdit* edtEntrada_ = nullptr;
    QLabel* lblMensagem_ = nullptr;
};

bool tecladoNumericoPadrao(QString& entrada, const QString& titulo, const QString& instrucao,
                           const QString& textoVazio, int tamanho, int a6, int a7, int a8, int a9,
                           int a10);

}  // namespace Hul00002::detail

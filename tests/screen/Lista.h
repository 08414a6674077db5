#pragma once

// A till database with one cost centre whose consumers stand in every state, and a header filled
// as the pickers leave it: what the list and grid tests start from.

#include <QStringList>

#include "screen/Tela.h"

namespace teste {

class Lista : public Tela {
protected:
    // Consumers of cost centre "CC1" (badge, name, situation; sold: a sale today for service 01):
    //   100 ANA active, 101 BIA active, 102 CAIO active, 103 DÉBORA inactive,
    //   104 EDU inactive and sold, 105 FÁBIO active and sold, 106 GIL situation "3".
    void AbreComDados();
    // Those rows as statements, for any server with the product's tables.
    static QStringList Dados();
    // The four captions and the chosen service, as the header steps leave them.
    void PreencheCabecalho();
    void Carrega();  // a click on "Carregar Alunos"

    QStringList Textos() const;
    // Badges of the rows the grid shows, in order; and their marks.
    QStringList Crachas() const;
    QStringList Marcas() const;
    QString MarcaDe(const QString& cracha) const;
    QString Estado(const QString& cracha) const;  // the row's state text (its tooltip)
    // Stands on the row of a badge (as a tap on it would) and clicks its mark cell.
    void ClicaMarca(const QString& cracha);
    void ClicaTitulo(const QString& campo);
    void Tecla(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier);
    int Coluna(const QString& campo) const;  // model column of a field
};

}  // namespace teste

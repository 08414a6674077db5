#pragma once

// What the screen's tests share: a screen on a till database made for the test, a recording
// message presenter and error display, a fixed clock, and recording pickers.

#include <QDate>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "dataset/ClientDataSet.h"
#include "module/screen/TfrmPresenca.h"
#include "platform/Platform.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace teste {

// A packet of text columns; a null QString is NULL, "" an empty text.
dataset::DataPacket Pacote(const QStringList& campos, const QList<QStringList>& linhas);

// An attendance list as the query delivers it: per row badge, name, situation, sale day (NULL
// when absent or empty).
dataset::DataPacket PacotePresenca(const QList<QStringList>& linhas);

// Statements run on the test's own till database.
struct Banco {
    QString arquivo;
    void Executa(const QStringList& comandos) const;
};
// A till database with the product's schema (empty tables), in dir; without the schema, the
// product's tables exist but have none of their columns.
Banco CriaBanco(const QString& dir, bool comEsquema = true);

class Tela : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the screen; with a database, runs InicializaForm on it as the entry does.
    void Abre(bool inicializa = true);
    void Mostra();  // shows it (FormShow) without a modal loop
    // With SCREEN_PNG_DIR set, saves what the screen shows now, named after the test or `nome`.
    void Foto(const QString& nome = {}) const;

    // The frame colours, step 1..4: true where red.
    QList<bool> QuadrosVermelhos() const;
    QStringList Captions() const;    // centre, service, date, hour
    QStringList Contadores() const;  // the four counters

    QTemporaryDir dir;
    Banco banco;
    Cli_Kel00815::TfrmPresenca* tela = nullptr;
    int inCor2Lido = 0;  // as the parameter file gave it, before the test's own colours

    QList<platform::MensagemArgs> mensagens;
    std::function<void(const platform::MensagemArgs&)> aoMostrar;  // runs inside Mensagem
    QStringList erros;                                             // the general error display

    QDate hoje{2024, 3, 15};

    // Recording pickers: each call appends its name to `chamadas`.
    QStringList chamadas;
    // Pesquisa: the value of this field to stand on, or nullopt to cancel.
    QString campoEscolha;
    std::optional<QString> escolha;
    std::function<void(dataset::ClientDataSet&)> aoPesquisar;
    QList<QList<QVariant>> argsPesquisa;  // the seven arguments after the dataset
    QString dataCalendario;               // "" cancels
    QList<QList<int>> argsCalendario;
    std::optional<QString> teclado;  // nullopt cancels
    QList<QVariantList> argsTeclado;

private:
    platform::MensagemPresenter presenterAnterior;
    platform::ErrorDisplay displayAnterior;
    platform::Clock relogioAnterior;
};

}  // namespace teste

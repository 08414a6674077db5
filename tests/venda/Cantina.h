#pragma once

// A small canteen database for the sale generator's tests, and hand-over packets for it.
//
// Branch 0001, till 001: breakfast 00001 06:30-09:00 (receipt printed), lunch 00002 11:00-14:00
// (products per consumption type: 01 and 02 only), snack 00003 14:00-16:00, supper 00004
// 22:00-01:30. Till 002: lunch 11:00-14:00 and an all-day service 00009. Consumers C01..Cnn of
// cost centre TURMA, types alternating 01 and 02.

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "dataset/DataPacket.h"

namespace teste {

struct Registro {
    explicit Registro(const QString& c, const QString& h = QStringLiteral("1130"),
                      const QString& cx = QStringLiteral("001"), const QString& t = QString())
        : consumidor(c), hora(h), caixa(cx), tipo(t) {}
    QString consumidor;  // C01...
    QString hora;
    QString caixa;
    QString tipo;  // empty: the consumer's own
    QDate dia = QDate(2026, 3, 16);
};

// Template for the tests' temporary folders: in memory where the system has such a folder, so
// that the many commits of these tests do not wait for a shared disk.
QString ModeloPasta();

// Texts of ASCII literals.
QStringList Textos(std::initializer_list<const char*> t);

class Cantina {
public:
    // Consumers C01..C<consumidores>; the file lives in `pasta`.
    Cantina(const QString& pasta, int consumidores);
    ~Cantina();
    Cantina(const Cantina&) = delete;
    Cantina& operator=(const Cantina&) = delete;

    QString arquivo() const { return arquivo_; }
    void exec(const QString& sql);
    QVariant valor(const QString& sql);  // first column of the first row
    int conta(const QString& sql) { return valor(sql).toInt(); }
    QStringList coluna(const QString& sql);
    void fecha();  // no connection of the test left on the file

    // Every sale whole: items and a receipt for each, nothing of a sale that is not there,
    // receipt and sale numbers of the till 1..n without gaps, the numbering at n. Returns n.
    int confereInteiras();

private:
    QString arquivo_;
    QString nome_;
};

dataset::DataPacket Entrega(const QList<Registro>& registros);
// Consumers C01..Cn at lunch, 11:30.
QList<Registro> Almoco(int n);
QString Consumidor(int i);  // "C07"

}  // namespace teste

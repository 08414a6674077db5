#include "platform/Registro.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include "platform/ConnectionText_p.h"
#include "platform/Platform.h"
#include "platform/StateDirectory.h"
#include "platform/TADOConnection.h"

namespace platform {

Q_LOGGING_CATEGORY(lcTela, "listapresenca.tela")
Q_LOGGING_CATEGORY(lcVenda, "listapresenca.venda")
Q_LOGGING_CATEGORY(lcOperador, "listapresenca.operador")
Q_LOGGING_CATEGORY(lcBanco, "listapresenca.banco")

namespace {

constexpr qint64 kTamanhoMaximo = 1024 * 1024;
constexpr int kArquivosGuardados = 5;

struct Registro {
    QMutex trava;
    QString arquivo;
    QtMessageHandler anterior = nullptr;
};

Registro& registro() {
    static Registro r;
    return r;
}

const char* nivel(QtMsgType t) {
    switch (t) {
        case QtDebugMsg:
            return "DEPURA";
        case QtInfoMsg:
            return "INFO";
        case QtWarningMsg:
            return "AVISO";
        case QtCriticalMsg:
            return "ERRO";
        case QtFatalMsg:
            return "FATAL";
    }
    return "?";
}

// listapresenca.log -> .1 -> .2 ... ; the oldest goes.
void roda(const QString& arquivo) {
    QFile::remove(arquivo + QStringLiteral(".%1").arg(kArquivosGuardados));
    for (int i = kArquivosGuardados - 1; i >= 1; --i)
        QFile::rename(arquivo + QStringLiteral(".%1").arg(i),
                      arquivo + QStringLiteral(".%1").arg(i + 1));
    QFile::rename(arquivo, arquivo + QStringLiteral(".1"));
}

void escreve(QtMsgType tipo, const QMessageLogContext& ctx, const QString& texto) {
    Registro& r = registro();
    const QLatin1String categoria(ctx.category ? ctx.category : "default");
    const bool nosso = categoria.startsWith(QLatin1String("listapresenca"));
    if (nosso || tipo >= QtWarningMsg) {
        QString limpo = texto;
        if (TADOConnection* s = ADODBSession())
            limpo = detail::scrubSecrets(limpo, s->connectionString());
        limpo = detail::scrubSecrets(limpo, QString());
        const QString linha = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) +
                              QLatin1Char(' ') + QLatin1String(nivel(tipo)) + QLatin1Char(' ') +
                              categoria + QStringLiteral(": ") + limpo + QLatin1Char('\n');
        QMutexLocker lock(&r.trava);
        QFile f(r.arquivo);
        if (f.size() > kTamanhoMaximo) roda(r.arquivo);
        if (f.open(QIODevice::Append | QIODevice::Text)) f.write(linha.toUtf8());
    }
    if (r.anterior) r.anterior(tipo, ctx, texto);
}

}  // namespace

QString PastaDoRegistro() {
    const QString configurada = qEnvironmentVariable("LISTAPRESENCA_REGISTRO").trimmed();
    if (!configurada.isEmpty()) {
        if (QDir::isAbsolutePath(configurada)) return QDir::cleanPath(configurada);
        const QString host =
            QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
        return QDir::cleanPath((host.isEmpty() ? QDir::currentPath() : host) + QLatin1Char('/') +
                               configurada);
    }
    // The till's state folder, shared by its logins; a login that may not write there (not in
    // the till's group) still leaves its lines in its own state folder.
    const QString estadoDoCaixa = stateDirectory();
    if (makeSharedFolder(estadoDoCaixa) && QFileInfo(estadoDoCaixa).isWritable())
        return estadoDoCaixa;
    QString estado = qEnvironmentVariable("XDG_STATE_HOME");
    if (estado.isEmpty()) estado = QDir::homePath() + QStringLiteral("/.local/state");
    return estado + QStringLiteral("/listapresenca");
}

QString IniciaRegistro() {
    Registro& r = registro();
    {
        QMutexLocker lock(&r.trava);
        if (!r.arquivo.isEmpty()) return r.arquivo;
        const QString pasta = PastaDoRegistro();
        QDir().mkpath(pasta);
        r.arquivo = pasta + QStringLiteral("/listapresenca.log");
        // In a folder the till's group shares, so is the log: every login appends to it.
        if (QFileInfo(pasta).permission(QFileDevice::WriteGroup)) {
            QFile f(r.arquivo);
            if (!f.exists() && f.open(QIODevice::Append)) f.close();
            if (f.permissions() & QFileDevice::WriteOwner)
                f.setPermissions(f.permissions() | QFileDevice::ReadGroup |
                                 QFileDevice::WriteGroup);
        }
    }
    // Our categories speak at info level unless the environment says otherwise.
    QLoggingCategory::setFilterRules(QStringLiteral("listapresenca.*.info=true"));
    r.anterior = qInstallMessageHandler(&escreve);
    return r.arquivo;
}

}  // namespace platform

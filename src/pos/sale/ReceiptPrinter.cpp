#include "pos/sale/ReceiptPrinter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextStream>

#include <filesystem>
#include <system_error>

#include "platform/Platform.h"
#include "platform/StateDirectory.h"
#include "pos/sale/Receipt.h"

namespace Hul00002 {

namespace {

QString hostDir() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

QString printerFromIni(const QString& dir) {
    QFile ini(dir + QStringLiteral("/conexao.ini"));
    if (!ini.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&ini);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 &&
            line.left(eq).trimmed().compare(QLatin1String("Impressora"), Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return {};
}

// The receipt in the printer's fixed-pitch font, sized so that a full line fills the width.
void paint(QPrinter& printer, const QStringList& lines) {
    QPainter p;
    if (!p.begin(&printer))
        throw platform::Error(QStringLiteral("A impressora não aceitou o cupom."));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
    font.setPixelSize(100);
    const qreal full =
        QFontMetricsF(font, &printer).horizontalAdvance(QString(kReceiptColumns, QLatin1Char('M')));
    font.setPixelSize(qMax(1, int(100 * area.width() / full)));
    p.setFont(font);
    const QFontMetricsF fm(font, &printer);
    qreal y = fm.ascent();
    for (const QString& line : lines) {
        if (y + fm.descent() > area.height()) {
            printer.newPage();
            y = fm.ascent();
        }
        p.drawText(QPointF(0, y), line);
        y += fm.lineSpacing();
    }
    if (!p.end()) throw platform::Error(QStringLiteral("A impressão do cupom falhou."));
}

}  // namespace

ReceiptPrinterSettings ReceiptPrinterSettings::fromConfiguration() {
    ReceiptPrinterSettings s;
    const QString dir = hostDir();
    s.printerName = qEnvironmentVariable("LISTAPRESENCA_IMPRESSORA").trimmed();
    if (s.printerName.isEmpty()) s.printerName = printerFromIni(dir);
    s.pdfFolder = qEnvironmentVariable("LISTAPRESENCA_CUPONS").trimmed();
    if (s.pdfFolder.isEmpty()) s.pdfFolder = platform::stateDirectory() + QStringLiteral("/cupons");
    return s;
}

QString printReceipt(const QStringList& lines, const QString& fileStem,
                     const ReceiptPrinterSettings& settings) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw platform::Error(QStringLiteral("Impressão indisponível neste programa."));
    if (!settings.printerName.isEmpty()) {
        const QPrinterInfo info = QPrinterInfo::printerInfo(settings.printerName);
        if (info.isNull())
            throw platform::Error(
                QStringLiteral("Impressora \"%1\" não encontrada.").arg(settings.printerName));
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setDocName(fileStem);
        printer.setFullPage(false);
        paint(printer, lines);
        return settings.printerName;
    }
    if (!platform::makeSharedFolder(settings.pdfFolder))
        throw platform::Error(
            QStringLiteral("Não foi possível criar a pasta %1.").arg(settings.pdfFolder));
    const QString file = QDir(settings.pdfFolder).filePath(fileStem + QStringLiteral(".pdf"));
    // Written under another name and renamed when whole: a receipt file under its own name is
    // always complete, whatever stopped the program.
    const QString partial = file + QStringLiteral(".parcial");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(partial);
    printer.setDocName(fileStem);
    // 80 mm paper, as long as the receipt.
    const qreal mm = 4.0 + 3.6 * lines.size() + 4.0;
    printer.setPageLayout(QPageLayout(QPageSize(QSizeF(80, mm), QPageSize::Millimeter),
                                      QPageLayout::Portrait, QMarginsF(4, 4, 4, 4),
                                      QPageLayout::Millimeter));
    paint(printer, lines);
    std::error_code failed = std::make_error_code(std::errc::no_such_file_or_directory);
    if (QFileInfo(partial).isFile())
        std::filesystem::rename(QFile::encodeName(partial).constData(),
                                QFile::encodeName(file).constData(), failed);
    if (failed) throw platform::Error(QStringLiteral("Não foi possível gravar %1.").arg(file));
    return file;
}

QString printedReceiptFile(const QString& fileStem, const ReceiptPrinterSettings& settings) {
    if (!settings.printerName.isEmpty()) return QString();
    const QString file = QDir(settings.pdfFolder).filePath(fileStem + QStringLiteral(".pdf"));
    return QFileInfo(file).isFile() && QFileInfo(file).size() > 0 ? file : QString();
}

}  // namespace Hul00002

#include "module/screen/Imagens_p.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace Cli_Kel00815::imagens {

QPixmap Desenho(const QString& nome, const QSize& tamanho) {
    QSvgRenderer svg(QStringLiteral(":/kel00815/images/") + nome + QStringLiteral(".svg"));
    QImage img(tamanho, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    if (svg.isValid()) {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p, QRectF(QPointF(0, 0), QSizeF(tamanho)));
    }
    return QPixmap::fromImage(img);
}

QPixmap CaixaMarcacao(bool marcada) {
    // '.' olive, 'k' black, 'w' white, 's' silver: a sunken box, lit from the bottom right.
    static const char* const caixa[16] = {
        "................",  //
        ".sssssssssssssw.",  //
        ".skkkkkkkkkkksw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".skwwwwwwwwwwsw.",  //
        ".sssssssssssssw.",  //
        ".wwwwwwwwwwwwww.",  //
        "................",  //
    };
    // The tick, inside the white area (columns 3..12, rows 3..12).
    static const char* const visto[16] = {
        "................",  //
        "................",  //
        "................",  //
        "................",  //
        "...........k....",  //
        "..........kk....",  //
        "....k....kkk....",  //
        "....kk..kkk.....",  //
        "....kkkkkk......",  //
        ".....kkkk.......",  //
        "......kk........",  //
        "................",  //
        "................",  //
        "................",  //
        "................",  //
        "................",  //
    };
    QImage img(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            char c = caixa[y][x];
            if (marcada && visto[y][x] == 'k') c = 'k';
            QRgb cor = qRgb(128, 128, 0);  // olive
            switch (c) {
                case 'k':
                    cor = qRgb(0, 0, 0);
                    break;
                case 'w':
                    cor = qRgb(255, 255, 255);
                    break;
                case 's':
                    cor = qRgb(192, 192, 192);
                    break;
                default:
                    break;
            }
            img.setPixel(x, y, cor);
        }
    }
    return QPixmap::fromImage(img);
}

}  // namespace Cli_Kel00815::imagens

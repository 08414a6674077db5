#pragma once

// Shared look of the package's touch dialogs: a borderless rounded window with a title band,
// colours taken from the terminal scheme (0 = not configured, so a default is used).

#include <QColor>
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace Hul00002::detail {

// A scheme colour, or the fallback when the scheme leaves it 0 (no parameter file).
QColor corEsquema(int cor, const QColor& padrao);
// Black or white, whichever reads better on the given fill.
QColor corTexto(const QColor& fundo);
QString nomeCss(const QColor& c);

// Style sheet of a large touch button with a fill colour; pressed and disabled looks included.
QString estiloBotao(const QColor& fundo, int pixelFonte = 18);

// Fixed default palette, close to the attendance screen's own colours.
struct Paleta {
    QColor faixa;    // title band
    QColor corpo;    // dialog body
    QColor borda;    // outline
    QColor botao;    // ordinary buttons
    QColor acao;     // the confirming button
    QColor cancela;  // the cancelling button
};
Paleta paletaPadrao();

class TouchDialog : public QDialog {
    Q_OBJECT
public:
    TouchDialog(const QString& nome, const QString& titulo, QColor faixa, QColor corpo,
                QWidget* parent = nullptr);

    QVBoxLayout* corpoLayout() const { return corpoLayout_; }
    QLabel* tituloLabel() const { return titulo_; }
    QColor corFaixa() const { return faixa_; }
    QColor corCorpo() const { return corpo_; }
    // Centres over the active window (the screen that called), else over the primary screen.
    void centraNaTela();
    QPushButton* criaBotao(const QString& nome, const QString& texto, const QColor& fundo,
                           int pixelFonte = 18);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QColor faixa_;
    QColor corpo_;
    QLabel* titulo_ = nullptr;
    QVBoxLayout* corpoLayout_ = nullptr;
};

}  // namespace Hul00002::detail

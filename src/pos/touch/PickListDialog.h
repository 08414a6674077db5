#pragma once

#include <QColor>
#include <QElapsedTimer>

#include "pos/touch/TouchDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;

namespace dataset {
class ClientDataSet;
class DataSetModel;
}  // namespace dataset

namespace Hul00002::detail {

class PickListFilter;

// Touch pick list over a client dataset. It reads the dataset through a model and narrows
// its own view; the dataset itself (filter, index) is the caller's and is not touched.
// Only an accepted choice moves the dataset's current record.
class PickListDialog : public TouchDialog {
    Q_OBJECT
public:
    struct Cores {
        QColor faixa, corpo, selecao, titulos;
    };
    PickListDialog(dataset::ClientDataSet& ds, const Cores& cores, bool tecladoAberto,
                   QWidget* parent = nullptr);

    // Position (0-based among the dataset's visible rows) of the highlighted row; -1 if none.
    int linhaEscolhida() const;
    QString textoPesquisa() const;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void montaTeclado(QWidget* painel);
    void ajustaColunas();
    void atualizaTotal();
    void garanteLinhaAtual();
    void moveSelecao(int delta);
    void escolhe();

    dataset::ClientDataSet& ds_;
    dataset::DataSetModel* modelo_ = nullptr;
    PickListFilter* filtro_ = nullptr;
    QLineEdit* edtPesquisa_ = nullptr;
    QTableView* grade_ = nullptr;
    QLabel* lblTotal_ = nullptr;
    QWidget* teclado_ = nullptr;
    QPushButton* btnTeclado_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    int ultimoToque_ = -1;
    QElapsedTimer relogioToque_;
};

bool pesquisaPadrao(dataset::ClientDataSet& ds, int arg2, const QString& flag, int cor1, int cor2,
                    int cor3, int cor5, int arg8);

}  // namespace Hul00002::detail

#pragma once

#include <QDate>
#include <QList>

#include "pos/touch/TouchDialog.h"

class QLabel;
class QPushButton;

namespace Hul00002::detail {

// Month calendar with large cells for a touch till; today is framed.
class CalendarDialog : public TouchDialog {
    Q_OBJECT
public:
    CalendarDialog(const QDate& hoje, QColor faixa, QColor corpo, QWidget* parent = nullptr);
    QDate dataSelecionada() const { return selecionada_; }
    void selecionaData(const QDate& d);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void redesenha();

    QDate hoje_;
    QDate selecionada_;
    QLabel* lblMes_ = nullptr;
    QLabel* lblData_ = nullptr;
    QList<QPushButton*> dias_;  // 6 weeks x 7 days, Sunday first
    QList<QDate> datas_;        // the date each cell shows
};

QString touchCalendarPadrao(int arg1, int cor1, int cor2);

}  // namespace Hul00002::detail

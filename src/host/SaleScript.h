#pragma once

// --sell: the host plays the operator once, unattended, so that an installation can be checked
// end to end: the first cost centre, the given service (today, at its start), the list loaded,
// the first consumer that can be sold marked, the sale generated and confirmed, the screen
// closed. The screen's own buttons and keys do the work; the pickers and the dialogs are the
// host's, answering as an operator would.

#include <QString>
#include <QStringList>

class QWidget;

class SaleScript {
public:
    explicit SaleScript(const QString& service);
    // Installs the pickers and the dialog answers; call after the POS services are installed.
    void install();
    // Runs on the screen once it is shown; closes it at the end.
    void run(QWidget* screen);

    bool done() const { return done_; }
    bool sold() const { return sold_; }
    QString badge() const { return badge_; }
    QStringList shown() const { return shown_; }  // every notice and error the script met

private:
    bool step(QWidget* screen);

    QString service_;
    QString badge_;
    QStringList shown_;
    bool done_ = false;
    bool sold_ = false;
};

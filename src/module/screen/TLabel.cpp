#include "module/screen/TLabel.h"

#include <QMouseEvent>

namespace Cli_Kel00815 {

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::RichText);
    setFocusPolicy(Qt::NoFocus);
}

void TLabel::setCaption(const QString& c) {
    caption_ = c;
    setText(captionHtml(c));
    if (autoSize_) resize(sizeHint().width(), height());
}

QString TLabel::captionHtml(const QString& caption) {
    QString html;
    html.reserve(caption.size() + 16);
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption.at(i);
        if (c == QLatin1Char('&') && i + 1 < caption.size()) {
            const QChar n = caption.at(++i);
            if (n == QLatin1Char('&')) {
                html += QStringLiteral("&amp;");
            } else {
                html += QStringLiteral("<u>") + QString(n).toHtmlEscaped() + QStringLiteral("</u>");
            }
        } else if (c == QLatin1Char('\r')) {
            html += QStringLiteral("<br>");
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('\n')) ++i;
        } else if (c == QLatin1Char('\n')) {
            html += QStringLiteral("<br>");
        } else if (c == QLatin1Char(' ')) {
            html += QStringLiteral("&nbsp;");  // rich text would fold runs of blanks
        } else {
            html += QString(c).toHtmlEscaped();
        }
    }
    return html;
}

void TLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        pressed_ = true;
        e->accept();
        return;
    }
    QLabel::mousePressEvent(e);
}

void TLabel::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        e->accept();
        if (rect().contains(e->position().toPoint())) Q_EMIT clicked();
        return;
    }
    QLabel::mouseReleaseEvent(e);
}

}  // namespace Cli_Kel00815

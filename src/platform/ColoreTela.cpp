#include <QFrame>
#include <QWidget>

#include "Controls.h"
#include "Platform.h"

namespace platform {

// What the six scheme colours paint on a form, once, when it is called; colours the form sets
// afterwards (its footer legend, its header panel) stand:
//   cor1  the form's own background (seen around the rounded shapes)
//   cor2  the background of its panels (containers named "pan...")
//   cor3  the fill of its colour buttons (TdxfColorButton)
//   cor4  the background of the selected cell of its grids
//   cor5  the text of the selected cell of its grids
//   cor6  the lines between the rows of its grids
// Shapes, rounded buttons and labels keep the colours of the form's design.
void ColoreTela(QWidget* form, int cor1, int cor2, int cor3, int cor4, int cor5, int cor6) {
    if (!form) return;
    const auto paintBackground = [](QWidget* w, const QColor& c) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, c);
        w->setPalette(p);
        w->setAutoFillBackground(true);
    };
    paintBackground(form, CorParaQColor(cor1));

    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (w->objectName().startsWith(QLatin1String("pan"))) {
            paintBackground(w, CorParaQColor(cor2));
        } else if (auto* b = qobject_cast<TdxfColorButton*>(w)) {
            b->setColor(CorParaQColor(cor3));
        } else if (auto* g = qobject_cast<TDBSortGrid*>(w)) {
            QPalette p = g->palette();
            for (auto group : {QPalette::Active, QPalette::Inactive}) {
                p.setColor(group, QPalette::Highlight, CorParaQColor(cor4));
                p.setColor(group, QPalette::HighlightedText, CorParaQColor(cor5));
            }
            g->setPalette(p);
            g->setGridLineColor(CorParaQColor(cor6));
        }
    }
}

}  // namespace platform

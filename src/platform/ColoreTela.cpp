#include <QFrame>
#include <QWidget>

#include "platform/Controls.h"
#include "platform/Platform.h"

namespace platform {

// What the six scheme colours paint on a form, once, when it is called; colours the form sets
// afterwards (its footer legend, its header panel, the highlighted step) stand:
//   cor1  the form's own background (seen around and between the rounded shapes)
//   cor2  the background of its panels (containers named "pan...")
//   cor3  the captions of its rounded buttons
//   cor4  the cell background of its grids
//   cor5  the fill of its colour buttons
//   cor6  the cell text of its grids
// Shapes, button fills, labels, grid titles and selection keep the form's own design, so a
// scheme can never hide a caption in its own fill.
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
        if (auto* b = qobject_cast<TBlendedButton*>(w)) {
            b->setCaptionColor(CorParaQColor(cor3));
        } else if (auto* c = qobject_cast<TdxfColorButton*>(w)) {
            c->setColor(CorParaQColor(cor5));
        } else if (auto* g = qobject_cast<TDBSortGrid*>(w)) {
            // Equal text and background (a till without a parameter file has every colour 0)
            // would hide every consumer's name: the grid keeps its own colours then.
            if (cor4 == cor6) continue;
            QPalette p = g->palette();
            for (auto group : {QPalette::Active, QPalette::Inactive}) {
                p.setColor(group, QPalette::Base, CorParaQColor(cor4));
                p.setColor(group, QPalette::Text, CorParaQColor(cor6));
            }
            g->setPalette(p);
        } else if (w->objectName().startsWith(QLatin1String("pan"))) {
            paintBackground(w, CorParaQColor(cor2));
        }
    }
}

}  // namespace platform

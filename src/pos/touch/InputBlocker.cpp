#include "pos/touch/InputBlocker.h"

#include <QApplication>
#include <QEvent>

namespace Hul00002::detail {

namespace {
class InputFilter : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* e) override {
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TouchCancel:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
            case QEvent::ContextMenu:
            case QEvent::NonClientAreaMouseButtonPress:
            case QEvent::NonClientAreaMouseButtonRelease:
            case QEvent::NonClientAreaMouseButtonDblClick:
                return true;
            default:
                return QObject::eventFilter(obj, e);
        }
    }
};
InputFilter* g_filtro = nullptr;
int g_bloqueios = 0;
}  // namespace

InputBlocker::InputBlocker() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    if (g_bloqueios++ == 0) {
        g_filtro = new InputFilter;
        qApp->installEventFilter(g_filtro);
    }
}

InputBlocker::~InputBlocker() {
    if (!g_filtro || g_bloqueios == 0) return;
    if (--g_bloqueios > 0) return;
    // Input that came in during the work is waiting in the queue: take it while the filter
    // is still there, or it would reach the screen once the work is over.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(g_filtro);
    delete g_filtro;
    g_filtro = nullptr;
}

bool InputBlocker::active() {
    return g_filtro != nullptr;
}

}  // namespace Hul00002::detail

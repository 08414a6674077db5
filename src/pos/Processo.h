#pragma once

#include <QString>

#include <hul00002/Hul00002.h>

class QWidget;

namespace Hul00002::detail {

// One waiting window at a time, over the form that asked for it.
void ativaProcessoPadrao(QWidget* form, const QString& texto, int cor1, int cor2);
void desativaProcessoPadrao();
// The window now shown, or null (for tests and for callers that need to raise it).
HUL00002_TEST_EXPORT QWidget* janelaProcesso();

// "n de N" and the bar on the waiting window, if one is shown; then lets the application
// paint. Input is left to InputBlocker.
HUL00002_EXPORT void showProgress(int done, int total);

// While one lives, mouse, keyboard and touch input reach no window of the application: what
// arrives meanwhile is dropped, not delivered afterwards. For long work on the user-interface
// thread that still lets the application paint.
class HUL00002_EXPORT InputBlocker {
public:
    InputBlocker();
    ~InputBlocker();
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;
    static bool active();
};

}  // namespace Hul00002::detail

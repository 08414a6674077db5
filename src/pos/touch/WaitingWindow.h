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

}  // namespace Hul00002::detail

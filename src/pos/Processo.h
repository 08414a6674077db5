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

}  // namespace Hul00002::detail

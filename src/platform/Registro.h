#pragma once

// The support log: what happened at a till, for whoever answers its call. Categories
// listapresenca.* (and every warning of the process) go, with a timestamp, to
// listapresenca.log in the folder named by LISTAPRESENCA_REGISTRO (relative: beside the host),
// else in the till's state folder (stateDirectory()) when this login may write there, else in
// the user's state folder ($XDG_STATE_HOME or ~/.local/state, under listapresenca/).
// The file is kept under 1 MB, with the five files before it. No line ever holds a password
// or a connection string.

#include <QLoggingCategory>
#include <QString>

#include "platform/platform_export.h"

namespace platform {

PLATFORM_EXPORT const QLoggingCategory& lcTela();      // screen opened, list loaded
PLATFORM_EXPORT const QLoggingCategory& lcVenda();     // sale runs and outcomes
PLATFORM_EXPORT const QLoggingCategory& lcOperador();  // every message shown
PLATFORM_EXPORT const QLoggingCategory& lcBanco();     // connections

// Starts the log once per process; later calls only return the file. Messages keep reaching
// the handler that was installed before (standard error, by default).
PLATFORM_EXPORT QString IniciaRegistro();
// The folder the log goes to, as the environment and the host's place give it.
PLATFORM_EXPORT QString PastaDoRegistro();

}  // namespace platform

#pragma once

// Entry of the attendance-list module (Pkg_Kel00815), for host integrators.
// Load the library, resolve "ListaPresenca" and call it on the UI thread; it shows the screen
// modally and returns when it has closed. It never lets an error escape.

#include <QVariant>

#include <pkg_kel00815/kel00815_export.h>

// params: pointer to the first element of an open array of variants, high its last index
// (-1 for an empty array); result: by reference, neither read nor written.
extern "C" KEL00815_EXPORT void ListaPresenca(const QVariant* params, int high, QVariant* result);
using ListaPresencaFn = void (*)(const QVariant*, int, QVariant*);

extern "C" KEL00815_EXPORT void Initialize();
extern "C" KEL00815_EXPORT void Finalize();
extern "C" KEL00815_EXPORT const void* GetPackageInfoTable();

namespace Cli_Kel00815 {
KEL00815_EXPORT void ListaPresenca(const QVariant* params, int high, QVariant& result);
}

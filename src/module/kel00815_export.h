#pragma once

#include <QtCore/qglobal.h>

#if defined(KEL00815_BUILDING)
#define KEL00815_EXPORT Q_DECL_EXPORT
#else
#define KEL00815_EXPORT Q_DECL_IMPORT
#endif

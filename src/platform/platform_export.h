#pragma once

#include <QtCore/qglobal.h>

#if defined(PLATFORM_BUILDING)
#define PLATFORM_EXPORT Q_DECL_EXPORT
#else
#define PLATFORM_EXPORT Q_DECL_IMPORT
#endif

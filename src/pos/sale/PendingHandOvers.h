#pragma once

// The hand-overs of sale runs that did not end well, kept in the till's state folder (under
// "entregas", platform::stateDirectory) so that `geravenda --pendentes` can finish a run the host
// did not: saved before a run, removed when every record was tried and every receipt printed.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <hul00002/hul00002_export.h>

namespace Hul00002 {

HUL00002_EXPORT QString pendingHandOverFolder();
// The file it was saved to; empty (and a line in the support log) when it could not be saved,
// which does not stop the run.
HUL00002_EXPORT QString savePendingHandOver(const QVariant& packet);
HUL00002_EXPORT void removePendingHandOver(const QString& file);
// The saved files, oldest first.
HUL00002_EXPORT QStringList pendingHandOvers();

}  // namespace Hul00002

#pragma once

// Where the till keeps what it writes while it runs (receipts as PDF, the support log when no
// other place is set, the pending hand-overs).
//
// The rule, in this order:
//   1. the folder named by LISTAPRESENCA_ESTADO (relative: beside the host);
//   2. an installed program (the host in the installation's own library folder,
//      /usr/lib/listapresenca for the Debian package, or a tool in its bin/) uses the
//      installation's state folder, /var/lib/listapresenca: the package makes it writable by
//      the till's group, and nothing is written under /usr;
//   3. any other host (a build tree, a copy in a folder of its own) keeps it beside itself.
// The folder may not exist yet: writers create what they need with makeSharedFolder.

#include <QString>

#include "platform/platform_export.h"

namespace platform {

PLATFORM_EXPORT QString stateDirectory();

// Creates a folder (and its parents) that every member of its parent folder's group can write
// to: a folder under a group-writable, set-group-id state folder gets the same bits, so that
// files one till login writes stay the group's. False when the folder cannot be created.
PLATFORM_EXPORT bool makeSharedFolder(const QString& path);

}  // namespace platform

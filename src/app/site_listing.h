#pragma once

#include "netware/client/site.h"

#include <QStringList>

// What the workstation sees, for quarvo --list: every tree, then every
// volume as the volume path a command line names it by, beside its local root.
namespace SiteListing {

QStringList lines(const Site& site);

} // namespace SiteListing

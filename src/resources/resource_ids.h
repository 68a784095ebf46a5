#pragma once
// Ids of the program's resources, shared by the resource script and the host.
// Plain #defines only: the resource compiler reads this file too.

#define ORVANE_DIALOG_CONFIG 104     // the configuration dialog
#define ORVANE_CONTROL_USE_MIRRORS 1001  // its "Use Mirrors" check box
#define ORVANE_CONTROL_MAIN_MONITOR_ONLY 1002  // its "Only the main monitor" check box
#define ORVANE_STRING_DESCRIPTION 1  // the saver's description, listed as its name
#define ORVANE_ICON_PROGRAM 1        // the program icon group

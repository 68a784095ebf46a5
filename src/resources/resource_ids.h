#pragma once
// Ids of the program's resources, shared by the resource script and the host.
// Plain #defines only: the resource compiler reads this file too.

#define ORVANE_DIALOG_CONFIG 104     // the configuration dialog
#define ORVANE_CONTROL_USE_MIRRORS 1001  // its "Use Mirrors" check box
#define ORVANE_CONTROL_MAIN_MONITOR_ONLY 1002  // its "Only the main monitor" check box
#define ORVANE_CONTROL_SAVE_POWER 1003         // its "Save power on battery" check box
#define ORVANE_CONTROL_SPEED 1010            // its "Speed" track bar
#define ORVANE_CONTROL_PICTURES_LINE 1011    // the line about the user's own pictures
#define ORVANE_CONTROL_ADD_PICTURES 1012     // "Add pictures..."
#define ORVANE_CONTROL_REMOVE_PICTURES 1013  // "Remove my pictures"
#define ORVANE_STRING_DESCRIPTION 1  // the saver's description, listed as its name
#define ORVANE_ICON_PROGRAM 1        // the program icon group

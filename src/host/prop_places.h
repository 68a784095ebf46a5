#pragma once
// Where the Linux module looks for a prop file when none is named: the user's data folder,
// the chat client inside the user's Wine prefix, then the installed samples. Pure logic:
// the caller reads the environment and hands the values in.
#include <string>
#include <vector>

struct PropPlaceInputs {
  std::string xdgDataHome;  // $XDG_DATA_HOME, empty when unset
  std::string home;         // the user's home folder ($HOME, else the user database's), empty when unknown
  std::string winePrefix;   // $WINEPREFIX, empty when unset
  std::string samples;      // the installed sample prop file
};

// The user's own prop file, where proptool adds pictures and the module looks first:
// $XDG_DATA_HOME/orvane/props.prp when that is an absolute path, else
// <home>/.local/share/orvane/props.prp; empty when neither is known. Only absolute folders
// count, so the file never depends on the folder a program was started in.
std::string linuxOwnPropFile(const std::string& xdgDataHome, const std::string& home);

// The candidate prop files in the order they are tried:
//   1. the user's own prop file (linuxOwnPropFile),
//   2. in the Wine prefix ($WINEPREFIX, else ~/.wine), drive_c/ followed by each of the
//      client's two fixed paths under "Program Files", then the same two under
//      "Program Files (x86)",
//   3. the installed samples.
// Places that would need an unknown (or relative) home folder are left out, as is an empty
// samples path.
std::vector<std::string> linuxPropPlaces(const PropPlaceInputs& in);

#pragma once
// Where the Linux module looks for a prop file when none is named: the user's data folder,
// the chat client inside the user's Wine prefix, then the installed samples. Pure logic:
// the caller reads the environment and hands the values in.
#include <string>
#include <vector>

struct PropPlaceInputs {
  std::string xdgDataHome;  // $XDG_DATA_HOME, empty when unset
  std::string home;         // the user's home folder, empty when unknown
  std::string winePrefix;   // $WINEPREFIX, empty when unset
  std::string samples;      // the installed sample prop file
};

// The candidate prop files in the order they are tried:
//   1. $XDG_DATA_HOME/orvane/props.prp (only an absolute $XDG_DATA_HOME counts; otherwise
//      ~/.local/share/orvane/props.prp),
//   2. in the Wine prefix ($WINEPREFIX, else ~/.wine), drive_c/ followed by each of the
//      client's two fixed paths under "Program Files", then the same two under
//      "Program Files (x86)",
//   3. the installed samples.
// Places that would need an unknown home folder are left out, as is an empty samples path.
std::vector<std::string> linuxPropPlaces(const PropPlaceInputs& in);

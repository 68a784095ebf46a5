#pragma once
// The prop-file search of the Windows saver.

// Asks the system where its programs' folders and application-data folders are and hands
// the atlas builder the resulting list of prop files to try (see windowsPropCandidates).
// A folder the system cannot name is left out of the search.
void UseSystemPropSearch();

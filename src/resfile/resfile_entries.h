#pragma once
// Reading every resource of one type from the bytes of a whole file, in one pass over its
// reference list: for files a program keeps whole in memory and may write back (the user's
// own prop file). Stricter than the reader of resfile.h, which reads what it can of any file:
// here a file that is not laid out soundly is refused, so nothing it says can cost more than
// its own size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "resfile/resfile_writer.h"

enum class ResEntriesResult {
  kOK,
  kDamaged,   // the header or the map lies outside the file, the map's lists outside the map,
              // or references of the type lie outside the data area, overlap one another or
              // add up to more than the file
  kTooLarge,  // the memory for the entries could not be had
};

// Appends to `out` every resource of the first type entry of `type`, in order, each with
// its id, its name (when it has one of 1 to 31 bytes inside the name list, as ResGetInfo
// gives it) and its bytes. Time and memory are linear in `size`. On a refusal `out` is
// left as it was.
ResEntriesResult ResReadEntries(const uint8_t* bytes, size_t size, uint32_t type, std::vector<ResEntry>* out);

#pragma once
// The prop atlas: up to 529 props from the prop file, each in its own 44 by 44 cell of one
// 1024 by 1024 RGBA texture, 23 cells across and 23 down.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "resfile/resfile.h"

// The atlas texture record that the drifting props effect owns.
struct PropAtlas {
  int32_t width;
  int32_t height;
  uint32_t texture;  // the GL texture name
};

constexpr const char* kPropFirstPath = "c:\\Program Files\\TheKorrin\\korrin.prp";
constexpr const char* kPropSecondPath = "c:\\Program Files\\Sabrel\\TheKorrin\\korrin.prp";
constexpr uint32_t kPropResourceType = kPropType;
constexpr int32_t kPropCellSize = 44;
constexpr int32_t kPropCellsPerRow = 23;
constexpr int32_t kPropSlots = kPropCellsPerRow * kPropCellsPerRow;  // 529
constexpr int32_t kPropAtlasSize = 1024;
constexpr uint32_t kPropInvertedIdLimit = 516;  // props with a lower ID are painted as greys
constexpr size_t kPropAtlasBytes = size_t(kPropAtlasSize) * kPropAtlasSize * 4;

// The prop files the atlas builder tries, in order. One of the two fixed paths that opens is
// used, props or none, and the places after it are never looked at; any other file that
// opens but yields no prop (empty, damaged) is passed over for the next one, so that a
// damaged file of the user's never hides the samples. The default is the two fixed paths; a
// host adds the further places it knows of, and the native tools name one file. The setting
// is process-wide; setting the candidates keeps the fixed paths the defaults.
void setPropFileCandidates(std::vector<std::string> paths);
const std::vector<std::string>& propFileCandidates();
// Sets the candidates to exactly two paths, which stand for the fixed paths (a null argument
// for that fixed default).
void setPropFilePaths(const char* first, const char* second);

// Builds the atlas pixels into `buffer` (kPropAtlasBytes): opens the first candidate prop file
// that opens (passing over those that yield no prop, as above), zeroes the buffer, picks up to 529 'Prop' resources at random in one
// front-to-back scan, paints each into the next cell, and closes the file. Returns the number
// of props painted (0 without a prop file).
int32_t buildPropAtlasPixels(uint8_t* buffer);

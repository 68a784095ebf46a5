// The one translation unit that compiles the image reader: limited to the four formats taken,
// no file access of its own (files are read through picture_files.h, so names in any script
// work on Windows), and no picture larger than decodePicture accepts.
#include <cstdlib>
#include <cstring>

#include "pictures/picture_read.h"

namespace {

// Whether an allocation of the image reader failed on this thread since the last ask: a
// picture it then calls damaged was only too large for the memory to be had.
thread_local bool allocationFailed = false;

void* allocateZeroed(size_t size) {
  void* block = std::calloc(1, size);
  if (block == nullptr) allocationFailed = true;
  return block;
}

// realloc whose new part starts zeroed, as a fresh block from calloc does.
void* reallocZeroed(void* block, size_t oldSize, size_t newSize) {
  void* grown = std::realloc(block, newSize);
  if (grown == nullptr) allocationFailed = true;
  if (grown != nullptr && newSize > oldSize) std::memset(static_cast<char*>(grown) + oldSize, 0, newSize - oldSize);
  return grown;
}

}  // namespace

namespace pictures {

bool pictureReaderAllocationFailed() {
  const bool failed = allocationFailed;
  allocationFailed = false;
  return failed;
}

}  // namespace pictures

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS pictures::kPictureMaxSide
// Every byte of memory the image reader takes starts zeroed, in fresh blocks and in the new
// part of grown ones: its JPEG reader (2.27, Debian 12's) decodes a scan with a Huffman table
// that no table segment defined from whatever its fresh memory held, and reads far outside
// the table; from zeroed memory it reads zeros. The reader grows blocks only through the
// sized form, which knows the old size; STBI_REALLOC is left undefined so that any other use
// would not compile.
#define STBI_MALLOC(size) allocateZeroed(size)
#define STBI_REALLOC_SIZED(block, oldSize, newSize) reallocZeroed(block, oldSize, newSize)
#define STBI_FREE(block) std::free(block)
#define STB_IMAGE_IMPLEMENTATION

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

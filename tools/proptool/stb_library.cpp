// The one translation unit that compiles the image library: its readers limited to the four
// formats proptool takes, no file access of its own (files are read by proptool, so names in
// any script work on Windows), and no picture larger than proptool would accept.
#include <cstdlib>

#include "proptool/picture_io.h"

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS proptool::kPictureMaxSide
// Every block the library takes starts zeroed: its JPEG reader (2.27, Debian 12's) decodes a
// scan with a Huffman table that no table segment defined from whatever its fresh memory
// held, and reads far outside the table; from zeroed memory it reads zeros.
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(block, size) std::realloc(block, size)
#define STBI_FREE(block) std::free(block)
#define STB_IMAGE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

// The one translation unit that compiles the image writer, without file access of its own.
#include "proptool/png_writer.h"

#include "pictures/picture_files.h"
#include "proptool/file_access.h"
#include "proptool/problem_text.h"

#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace proptool {

namespace {

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

}  // namespace

std::vector<uint8_t> encodePng(int32_t width, int32_t height, const uint8_t* pixels) {
  std::vector<uint8_t> out;
  if (width < 1 || height < 1 || int64_t(width) * 4 > INT32_MAX) return out;
  if (!stbi_write_png_to_func(appendBytes, &out, width, height, 4, pixels, width * 4)) out.clear();
  return out;
}

bool writePng(const std::string& path, int32_t width, int32_t height, const uint8_t* pixels, std::string* error) {
  const std::vector<uint8_t> png = encodePng(width, height, pixels);
  if (png.empty()) {
    if (error) *error = "cannot write " + path + " (cannot encode " + std::to_string(width) + "x" +
                        std::to_string(height) + " pixels)";
    return false;
  }
  pictures::FileProblem problem;
  if (pictures::writeWholeFile(nativePath(path), png, &problem)) return true;
  if (error) *error = fileProblemText(problem);
  return false;
}

}  // namespace proptool

// Reads what Windows itself reads from an installed program file and prints it, one
// "name=value" line each, for the package tests:
//   e2e_package_probe <file>
// machine (the PE header's machine), the application manifest as the system's activation
// context reads it (dpiAware, dpiAwareness, runLevel, supportedOS) and the version record
// (fixed file and product version, its English strings).
#define _WIN32_WINNT 0x0A00
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string machineOf(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> head(4096);
  in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
  const size_t got = size_t(in.gcount());
  if (got < 0x40 || head[0] != 'M' || head[1] != 'Z') return "not-pe";
  const size_t pe = head[0x3c] | head[0x3d] << 8 | head[0x3e] << 16 | size_t(head[0x3f]) << 24;
  if (pe > got - 6 || std::string(reinterpret_cast<char*>(&head[pe]), 4) != std::string("PE\0\0", 4)) return "not-pe";
  const unsigned machine = head[pe + 4] | head[pe + 5] << 8;
  if (machine == IMAGE_FILE_MACHINE_AMD64) return "x86-64";
  if (machine == IMAGE_FILE_MACHINE_I386) return "i386";
  char other[16];
  std::snprintf(other, sizeof(other), "0x%04x", machine);
  return other;
}

// The compatibility list as current systems (and Wine) lay it out: each element also carries
// a tested-version field, which the older declaration in the MinGW headers lacks.
struct CompatibilityElement {
  GUID id;
  DWORD type;
  ULONGLONG maxVersionTested;
};
struct CompatibilityList {
  DWORD count;
  CompatibilityElement elements[1];
};

std::string narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += *text < 128 ? char(*text) : '?';
  return out;
}

void printSetting(HANDLE context, const wchar_t* space, const wchar_t* name, const char* label) {
  wchar_t value[128] = {};
  SIZE_T written = 0;
  const bool ok = QueryActCtxSettingsW(0, context, space, name, value, 127, &written);
  std::printf("%s=%s\n", label, ok ? narrow(value).c_str() : "(none)");
}

void printManifest(const char* path) {
  ACTCTXA request{};
  request.cbSize = sizeof(request);
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path;
  request.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE context = CreateActCtxA(&request);
  if (context == INVALID_HANDLE_VALUE) {
    std::printf("manifest=(none)\n");
    return;
  }
  printSetting(context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", "dpiAware");
  printSetting(context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", "dpiAwareness");

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
  SIZE_T size = 0;
  const char* levels[] = {"unspecified", "asInvoker", "highestAvailable", "requireAdministrator"};
  if (QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level, sizeof(level), &size) &&
      unsigned(level.RunLevel) < 4)
    std::printf("runLevel=%s uiAccess=%lu\n", levels[level.RunLevel], static_cast<unsigned long>(level.UiAccess));
  else
    std::printf("runLevel=(none)\n");

  std::vector<unsigned char> buffer(4096);
  std::string systems;
  if (QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, buffer.data(), buffer.size(),
                   &size)) {
    const auto* list = reinterpret_cast<const CompatibilityList*>(buffer.data());
    const size_t room = (buffer.size() - offsetof(CompatibilityList, elements)) / sizeof(CompatibilityElement);
    for (DWORD i = 0; i < list->count && i < room; ++i) {
      if (list->elements[i].type != ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) continue;
      const GUID& g = list->elements[i].id;
      char text[40];
      std::snprintf(text, sizeof(text), "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                    static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                    g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
      systems += (systems.empty() ? "" : ",") + std::string(text);
    }
  }
  std::printf("supportedOS=%s\n", systems.empty() ? "(none)" : systems.c_str());
  ReleaseActCtx(context);
}

void printVersion(const char* path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  std::vector<char> data(size ? size : 1);
  if (!size || !GetFileVersionInfoA(path, 0, size, data.data())) {
    std::printf("version=(none)\n");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    std::printf("fixedFileVersion=%lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
    std::printf("fixedProductVersion=%lu.%lu.%lu.%lu\n", fixed->dwProductVersionMS >> 16,
                fixed->dwProductVersionMS & 0xFFFF, fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
  }
  for (const char* name : {"FileDescription", "ProductName", "FileVersion", "ProductVersion", "OriginalFilename",
                           "CompanyName"}) {
    char* text = nullptr;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text)
      std::printf("%s=%s\n", name, text);
    else
      std::printf("%s=(none)\n", name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: e2e_package_probe <file>\n");
    return 2;
  }
  std::printf("machine=%s\n", machineOf(argv[1]).c_str());
  printManifest(argv[1]);
  printVersion(argv[1]);
  return 0;
}

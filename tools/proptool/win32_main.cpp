// proptool.exe: the arguments come from the UTF-16 command line as UTF-8, and the console
// shows UTF-8. Started in a console of its own (pictures dropped onto it in Explorer, or a
// double click, which shows the help), it waits for a key before that console closes with
// the text in it.
#include <windows.h>
#include <conio.h>
#include <shellapi.h>

#include <iostream>

#include "proptool/commands.h"

namespace {

std::string utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(size_t(n - 1));
  return out;
}

// True when this process is the only one on a console whose keyboard it reads: the console
// was made for it and goes away with it. Not when started from a command prompt, and not
// when input is a pipe or a file (as in tests), so that nothing ever waits unseen.
bool ownsItsConsole() {
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace

int main() {
  std::vector<std::string> args;
  int count = 0;
  if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) args.push_back(utf8(argv[i]));
    LocalFree(argv);
  }
  // Opened with a double click: what it does, rather than a one-line complaint.
  if (args.empty() && ownsItsConsole()) args.push_back("--help");
  const UINT codePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  const int code = proptool::runProptool(args, std::cout, std::cerr);
  if (ownsItsConsole()) {
    std::cout << "\nPress any key to close this window." << std::endl;
    _getch();
  }
  std::cout.flush();
  if (codePage) SetConsoleOutputCP(codePage);
  return code;
}

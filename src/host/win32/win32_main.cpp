// The program's entry point.
#include "host/win32/win32_host.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  hostInstance = instance;
  // The whole command line, program path included, is read rather than WinMain's argument.
  return RunSaverProgram(GetCommandLineA(), showCommand);
}

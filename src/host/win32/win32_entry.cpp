// The program's run: command line, settings record, one mode.
#include <new>

#include "host/win32/win32_host.h"
#include "host/win32/win32_settings.h"

int RunSaverProgram(const char* commandLine, int showCommand) {
  const CommandLine reading = parseCommandLine(commandLine);
  saverMode = reading.mode;
  // Window numbers are 32-bit; a handle is their sign-extended value.
  HWND parent = reading.parentIsForeground
                    ? GetForegroundWindow()
                    : reinterpret_cast<HWND>(static_cast<intptr_t>(reading.parent));

  // Every mode needs the record; without it the program ends at once, with exit code 0.
  SaverSettings* settings = new (std::nothrow) SaverSettings();
  if (!settings) return 0;
  settings->Window = nullptr;
  settings->CloseRequested = 0;
  saverSettings = settings;
  LoadHostSettings(settings);
  LoadSaverSettings(settings);

  if (saverMode == SaverMode::ChangePassword) ChangeSaverPassword(parent);
  if (saverMode == SaverMode::Config) ShowConfigDialog(parent);
  if (saverMode == SaverMode::Saver || saverMode == SaverMode::Preview)
    RunSaverWindow(parent, showCommand);

  saverSettings = nullptr;
  delete settings;
  return 0;
}

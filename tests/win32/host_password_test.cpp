// The password path for real: a child program in a folder of its own, stand-ins for
// PASSWORD.CPL or MPR.DLL in the system folder of this test's Wine prefix (where the saver
// loads them from) or planted beside the child (where it must never look), and the system
// reporting the 9x platform for the child through Wine's per-program version setting.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const char kChild[] = "orvane_password_child.exe";
const char kAppKey[] = "Software\\Wine\\AppDefaults\\orvane_password_child.exe";

std::string testDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of("\\/"));
}

std::string systemDir() {
  char path[MAX_PATH] = {};
  GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int countLines(const std::string& text, const std::string& start) {
  int n = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(start, 0) == 0) ++n;
  return n;
}

bool lowerEquals(std::string a, std::string b) {
  for (char& c : a) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (char& c : b) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return a == b;
}

// Every "from=" of the stand-in's log names `path`.
bool allFrom(const std::string& log, const std::string& path) {
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find(" from=");
    if (at == std::string::npos || !lowerEquals(line.substr(at + 6), path)) return false;
  }
  return true;
}

// The 9x platform for the child or not; with `nativeMpr` the child loads a file named MPR.DLL
// only if it is not Wine's own.
void setAppDefaults(bool win98, bool nativeMpr) {
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kAppKey) + "\\DllOverrides").c_str());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  if (win98)
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
  else
    RegDeleteValueA(key, "Version");
  RegCloseKey(key);
  if (nativeMpr) {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kAppKey) + "\\DllOverrides").c_str(),
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(key);
  }
}

// Puts the stand-in `standin` (from password_support; empty: none) into the system folder as
// `name`. With none, the folder holds what the prefix came with: Wine's own MPR.DLL (kept
// aside once, beside it), no PASSWORD.CPL.
void placeSystemLibrary(const std::string& name, const char* standin) {
  const std::string target = systemDir() + "\\" + name;
  const std::string wineOwn = target + ".orvane-original";
  if (name == "MPR.DLL") {
    if (GetFileAttributesA(wineOwn.c_str()) == INVALID_FILE_ATTRIBUTES) {
      ASSERT_TRUE(CopyFileA(target.c_str(), wineOwn.c_str(), TRUE));
    }
    ASSERT_TRUE(CopyFileA(wineOwn.c_str(), target.c_str(), FALSE));
  } else {
    DeleteFileA(target.c_str());
  }
  if (*standin) {
    const std::string source = testDir() + "\\password_support\\" + standin;
    ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << target;
  }
}

struct ChildRun {
  DWORD exitCode = 999;
  std::string result;  // what the child wrote
  std::string log;     // what the stand-ins recorded
};

// Prepares a folder with the child, `planted` (a stand-in from password_support, or empty for
// none) beside it under the name `libraryName`, then runs the child with `command` in it.
ChildRun runChild(const char* caseName, const char* command, const char* libraryName,
                  const char* planted, const char* answer) {
  ChildRun run;
  const std::string support = testDir() + "\\password_support\\";
  const std::string runs = testDir() + "\\password_runs";
  const std::string dir = runs + "\\" + caseName;
  CreateDirectoryA(runs.c_str(), nullptr);
  CreateDirectoryA(dir.c_str(), nullptr);
  DeleteFileA((dir + "\\PASSWORD.CPL").c_str());
  DeleteFileA((dir + "\\MPR.DLL").c_str());
  const std::string resultPath = dir + "\\result.txt";
  const std::string logPath = dir + "\\standin.log";
  DeleteFileA(resultPath.c_str());
  DeleteFileA(logPath.c_str());
  EXPECT_TRUE(CopyFileA((support + kChild).c_str(), (dir + "\\" + kChild).c_str(), FALSE));
  if (*planted) {
    EXPECT_TRUE(CopyFileA((support + planted).c_str(), (dir + "\\" + libraryName).c_str(), FALSE));
  }

  SetEnvironmentVariableA("ORVANE_STANDIN_ANSWER", answer);
  SetEnvironmentVariableA("ORVANE_STANDIN_LOG", logPath.c_str());
  std::string line = "\"" + dir + "\\" + kChild + "\" " + command + " \"" + resultPath + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << line;
    return run;
  }
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    ADD_FAILURE() << caseName << ": the child did not end";
  }
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run.result = readFile(resultPath);
  run.log = readFile(logPath);
  return run;
}

TEST(HostPassword, VerificationOnEachPlatformAndWithEachLibrary) {
  struct {
    const char* name;
    bool win98;
    const char* systemLibrary;  // put into the system folder as PASSWORD.CPL
    const char* planted;        // put beside the child as PASSWORD.CPL
    const char* answer;         // the stand-in's answers, in order
    int keys;
    bool closed;
    int asked;
  } cases[] = {
      // After a refusal the delay stays passed: the next key asks again at once.
      {"refused-twice", true, "password_standin.dll", "", "refuse", 2, false, 2},
      {"refused-then-accepted", true, "password_standin.dll", "", "refuse,accept", 2, true, 2},
      {"accepted", true, "password_standin.dll", "", "accept", 1, true, 1},
      {"nt-never-asks", false, "password_standin.dll", "", "refuse", 1, true, 0},
      {"no-library", true, "", "", "refuse", 1, true, 0},
      {"no-function", true, "empty_standin.dll", "", "refuse", 1, true, 0},
      // A copy planted beside the program is never loaded, with or without the system's.
      {"planted-only", true, "", "password_standin.dll", "refuse", 1, true, 0},
      {"planted-and-system", true, "password_standin.dll", "password_standin.dll", "accept", 1,
       true, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setAppDefaults(c.win98, false);
    placeSystemLibrary("PASSWORD.CPL", c.systemLibrary);
    const ChildRun run =
        runChild(c.name, ("verify " + std::to_string(c.keys)).c_str(), "PASSWORD.CPL", c.planted,
                 c.answer);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.result.find(c.win98 ? "platform=1" : "platform=2"), std::string::npos)
        << run.result;
    EXPECT_NE(run.result.find(c.closed ? "closed=1" : "closed=0"), std::string::npos)
        << run.result;
    // The request stays marked, no check is left open, and the library is freed.
    EXPECT_NE(run.result.find("requested=1 checking=0"), std::string::npos) << run.result;
    EXPECT_NE(run.result.find("loaded=0"), std::string::npos) << run.result;
    EXPECT_EQ(countLines(run.log, "verify "), c.asked) << run.log;
    EXPECT_TRUE(allFrom(run.log, systemDir() + "\\PASSWORD.CPL")) << run.log;
    if (c.asked > 0) {
      // While the service ran, the arrow showed and its re-entrant messages closed nothing.
      EXPECT_NE(run.log.find("cursor=1 window=1"), std::string::npos) << run.log;
    }
    // Every case went through a check (the delay had passed), even where nothing was asked:
    // the mouse reference point moved to where the cursor was when the check ended.
    EXPECT_NE(run.result.find("cursor=300,200"), std::string::npos) << run.result;
  }
  placeSystemLibrary("PASSWORD.CPL", "");
  RegDeleteKeyA(HKEY_CURRENT_USER, kAppKey);
}

TEST(HostPassword, PasswordChangeHandsTheParentToTheService) {
  struct {
    const char* name;
    const char* systemLibrary;  // put into the system folder as MPR.DLL; "": Wine's own
    const char* planted;        // put beside the child as MPR.DLL
    int calls;
  } cases[] = {
      {"change", "mpr_standin.dll", "", 1},
      {"change-no-function", "empty_standin.dll", "", 0},
      // Wine's own MPR.DLL cannot be loaded where only a native one may be: nothing happens,
      // and the copy planted beside the program is not taken instead.
      {"change-no-library-planted", "", "mpr_standin.dll", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setAppDefaults(false, true);
    placeSystemLibrary("MPR.DLL", c.systemLibrary);
    const ChildRun run = runChild(c.name, "change", "MPR.DLL", c.planted, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.result.find("done=1 loaded=0"), std::string::npos) << run.result;
    EXPECT_EQ(countLines(run.log, "change "), c.calls) << run.log;
    EXPECT_TRUE(allFrom(run.log, systemDir() + "\\MPR.DLL")) << run.log;
    if (c.calls > 0) {
      EXPECT_NE(run.log.find("change SCRSAVE 5678 0 0 from="), std::string::npos) << run.log;
    }
  }
  placeSystemLibrary("MPR.DLL", "");
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kAppKey) + "\\DllOverrides").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kAppKey);
}

}  // namespace

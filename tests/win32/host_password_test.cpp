// The password path for real: a child program in a folder of its own, a stand-in PASSWORD.CPL
// or MPR.DLL beside it, and the system reporting the 9x platform for it through Wine's
// per-program version setting.
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

struct ChildRun {
  DWORD exitCode = 999;
  std::string result;  // what the child wrote
  std::string log;     // what the stand-ins recorded
};

// Prepares a folder with the child and `library` (a stand-in from password_support, or empty
// for none) under the name `libraryName`, then runs the child with `command`.
ChildRun runChild(const char* caseName, const char* command, const char* library,
             const char* libraryName, const char* answer) {
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
  if (library && *library) {
    EXPECT_TRUE(CopyFileA((support + library).c_str(), (dir + "\\" + libraryName).c_str(), FALSE));
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
    const char* library;  // copied as PASSWORD.CPL
    const char* answer;
    bool closed;
    int asked;
    const char* platform;
  } cases[] = {
      {"refused", true, "password_standin.dll", "refuse", false, 1, "platform=1"},
      {"accepted", true, "password_standin.dll", "accept", true, 1, "platform=1"},
      {"nt-never-asks", false, "password_standin.dll", "refuse", true, 0, "platform=2"},
      {"no-library", true, "", "refuse", true, 0, "platform=1"},
      {"no-function", true, "empty_standin.dll", "refuse", true, 0, "platform=1"},
  };
  for (const auto& c : cases) {
    setAppDefaults(c.win98, false);
    const ChildRun run = runChild(c.name, "verify", c.library, "PASSWORD.CPL", c.answer);
    EXPECT_EQ(run.exitCode, 0u) << c.name;
    EXPECT_NE(run.result.find(c.platform), std::string::npos) << c.name << ": " << run.result;
    EXPECT_NE(run.result.find(c.closed ? "closed=1" : "closed=0"), std::string::npos)
        << c.name << ": " << run.result;
    // The request stays marked, and no check is left open.
    EXPECT_NE(run.result.find("requested=1 checking=0"), std::string::npos)
        << c.name << ": " << run.result;
    EXPECT_EQ(countLines(run.log, "verify "), c.asked) << c.name << ": " << run.log;
    if (c.asked > 0) {
      // While the service ran, the arrow showed and its re-entrant messages closed nothing.
      EXPECT_NE(run.log.find("cursor=1 window=1"), std::string::npos) << c.name << ": " << run.log;
    }
    // Every case went through a check (the delay had passed), even where nothing was asked:
    // the mouse reference point moved to where the cursor was when the check ended.
    EXPECT_NE(run.result.find("cursor=300,200"), std::string::npos) << c.name << ": " << run.result;
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kAppKey);
}

TEST(HostPassword, PasswordChangeHandsTheParentToTheService) {
  struct {
    const char* name;
    const char* library;  // copied as MPR.DLL
    int calls;
  } cases[] = {
      {"change", "mpr_standin.dll", 1},
      {"change-no-function", "empty_standin.dll", 0},
  };
  for (const auto& c : cases) {
    setAppDefaults(false, true);
    const ChildRun run = runChild(c.name, "change", c.library, "MPR.DLL", "");
    EXPECT_EQ(run.exitCode, 0u) << c.name;
    EXPECT_NE(run.result.find("done=1"), std::string::npos) << c.name;
    EXPECT_EQ(countLines(run.log, "change "), c.calls) << c.name << ": " << run.log;
    if (c.calls > 0) {
      EXPECT_NE(run.log.find("change SCRSAVE 5678 0 0"), std::string::npos) << run.log;
    }
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kAppKey) + "\\DllOverrides").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kAppKey);
}

}  // namespace

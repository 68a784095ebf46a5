// The settings store against the real registry of this test's Wine prefix, dialog 104
// driven through its own modal loop with real messages, and the program resources.
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/win32/win32_settings.h"
#include "resources/resource_ids.h"

namespace {

const char kHostKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const char kSaverParent[] = "Software\\Tov";
const char kSaverKey[] = "Software\\Tov\\Ostrel";

// ---------------------------------------------------------------- registry helpers

// Lets the owner (this test) do anything with `path` again, so it can be removed.
void restoreAccess(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KA;;;WD)", SDDL_REVISION_1, &sd,
                                                           nullptr)) {
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
  }
  RegCloseKey(key);
}

void removeKey(const char* path) {
  restoreAccess(path);
  RegDeleteTreeA(HKEY_CURRENT_USER, path);
  RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

// Leaves only KEY_READ (plus what cleaning up needs) to everyone on `path`.
bool restrictToReading(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
  PSECURITY_DESCRIPTOR sd = nullptr;
  bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRWD;;;WD)",
                                                                 SDDL_REVISION_1, &sd, nullptr);
  if (ok) {
    ok = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    LocalFree(sd);
  }
  RegCloseKey(key);
  return ok;
}

void createKey(const char* path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void setValue(const char* path, const char* name, DWORD type, const std::vector<uint8_t>& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, data.empty() ? nullptr : data.data(),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::vector<uint8_t> dword(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
std::vector<uint8_t> text(const char* s) {  // with its terminating zero, as REG_SZ stores it
  return std::vector<uint8_t>(s, s + std::strlen(s) + 1);
}

struct StoredValue {
  bool exists;
  DWORD type;
  std::vector<uint8_t> data;
};

StoredValue readStored(const char* path, const char* name) {
  StoredValue out{false, REG_NONE, {}};
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
  uint8_t buffer[64] = {};
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(key, name, nullptr, &out.type, buffer, &size) == ERROR_SUCCESS) {
    out.exists = true;
    out.data.assign(buffer, buffer + size);
  }
  RegCloseKey(key);
  return out;
}

bool keyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Every test starts and ends with neither the saver's keys nor the system's
// screen-saver key in this prefix.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterDialogControls();
    clean();
  }
  void TearDown() override {
    clean();
    saverSettings = nullptr;
  }
  static void clean() {
    removeKey(kSaverKey);
    removeKey(kSaverParent);
    removeKey(kHostKey);
  }
};

// A record as the entry makes it, with every loaded field scribbled over first, so a
// loader that forgets to set a default is caught.
SaverSettings scribbled() {
  SaverSettings s{};
  s.PasswordDelay = 0xdeadbeef;
  s.MouseThreshold = -12345;
  s.CheckingPassword = 1;
  s.UseMirrors = -77;
  s.Speed = -77;
  s.Monitors = 77;
  return s;
}

// ---------------------------------------------------------------- reading

struct ValueSetup {
  const char* name;  // nullptr: no value
  DWORD type;
  std::vector<uint8_t> data;
};

struct SaverLoadCase {
  const char* label;
  bool createKey;
  std::vector<ValueSetup> values;
  int32_t expected;
};

TEST_F(Registry, LoadSaverSettingsReadsUseMirrorsOrKeepsTheDefault) {
  const SaverLoadCase cases[] = {
      {"no key", false, {}, 1},
      {"key without the value", true, {}, 1},
      {"other values only", true, {{"Something", REG_DWORD, dword(0)}}, 1},
      {"dword 0", true, {{"UseMirrors", REG_DWORD, dword(0)}}, 0},
      {"dword 7", true, {{"UseMirrors", REG_DWORD, dword(7)}}, 7},
      {"dword all ones", true, {{"UseMirrors", REG_DWORD, dword(0xffffffffu)}}, -1},
      {"two-byte dword, zero-extended", true, {{"UseMirrors", REG_DWORD, {0x34, 0x12}}}, 0x1234},
      {"four bytes of binary", true, {{"UseMirrors", REG_BINARY, dword(0)}}, 0},
      {"binary without data", true, {{"UseMirrors", REG_BINARY, {}}}, 1},
      {"number as text", true, {{"UseMirrors", REG_SZ, text("0")}}, 0},
      {"number as expandable text", true, {{"UseMirrors", REG_EXPAND_SZ, text(" -3 ")}}, -3},
      {"text that is no number", true, {{"UseMirrors", REG_SZ, text("abc")}}, 1},
      {"text longer than a read takes", true,
       {{"UseMirrors", REG_SZ, text((std::string(200, ' ') + "0").c_str())}}, 1},
      {"quad word", true, {{"UseMirrors", REG_QWORD, {0, 0, 0, 0, 0, 0, 0, 0}}}, 1},
  };
  for (const SaverLoadCase& c : cases) {
    SCOPED_TRACE(c.label);
    clean();
    if (c.createKey) createKey(kSaverKey);
    for (const ValueSetup& v : c.values) setValue(kSaverKey, v.name, v.type, v.data);
    SaverSettings s = scribbled();
    LoadSaverSettings(&s);
    EXPECT_EQ(s.UseMirrors, c.expected);
    if (!c.createKey) {  // without a key every saver setting has its default
      EXPECT_EQ(s.Monitors, 0);
      EXPECT_EQ(s.Speed, 100);
      EXPECT_EQ(s.SavePower, 1);
    }
    // The saver's loader touches nothing of the host group.
    EXPECT_EQ(s.PasswordDelay, 0xdeadbeefu);
    EXPECT_EQ(s.MouseThreshold, -12345);
  }
}

// "Monitors", "Speed" and "SavePower" are read as UseMirrors is, each kept to its range:
// Monitors 0 or 1 (else 0), Speed 25 to 200 (else 100), SavePower 0 or 1 (else 1). Every
// other value keeps its default meanwhile.
TEST_F(Registry, LoadSaverSettingsKeepsMonitorsSpeedAndSavePowerInTheirRanges) {
  struct RangeCase {
    const char* label;
    std::vector<ValueSetup> values;
    int32_t monitors, speed, savePower = 1;
  };
  const RangeCase cases[] = {
      {"no values", {}, 0, 100},
      {"Monitors 1, Speed 25", {{"Monitors", REG_DWORD, dword(1)}, {"Speed", REG_DWORD, dword(25)}}, 1, 25},
      {"Monitors 2, Speed 200", {{"Monitors", REG_DWORD, dword(2)}, {"Speed", REG_DWORD, dword(200)}}, 0, 200},
      {"Speed 24", {{"Speed", REG_DWORD, dword(24)}}, 0, 100},
      {"Speed 201", {{"Speed", REG_DWORD, dword(201)}}, 0, 100},
      {"Speed all ones", {{"Speed", REG_DWORD, dword(0xffffffffu)}}, 0, 100},
      {"numbers as text", {{"Monitors", REG_SZ, text(" 1 ")}, {"Speed", REG_SZ, text(" 60 ")}}, 1, 60},
      {"quad words",
       {{"Monitors", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}, {"Speed", REG_QWORD, {50, 0, 0, 0, 0, 0, 0, 0}}}, 0, 100},
      {"SavePower 0", {{"SavePower", REG_DWORD, dword(0)}}, 0, 100, 0},
      {"SavePower 2", {{"SavePower", REG_DWORD, dword(2)}}, 0, 100, 1},
      {"SavePower as text", {{"SavePower", REG_SZ, text("0")}}, 0, 100, 0},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.label);
    clean();
    createKey(kSaverKey);
    for (const ValueSetup& v : c.values) setValue(kSaverKey, v.name, v.type, v.data);
    SaverSettings s = scribbled();
    LoadSaverSettings(&s);
    EXPECT_EQ(s.Monitors, c.monitors);
    EXPECT_EQ(s.Speed, c.speed);
    EXPECT_EQ(s.SavePower, c.savePower);
    EXPECT_EQ(s.UseMirrors, 1);
  }
}

struct HostLoadCase {
  const char* label;
  bool createKey;
  std::vector<ValueSetup> values;
  uint32_t passwordDelay;
  int32_t mouseThreshold;
};

TEST_F(Registry, LoadHostSettingsReadsEachValueOnItsOwn) {
  const HostLoadCase cases[] = {
      {"no key", false, {}, 15, 50},
      {"empty key", true, {}, 15, 50},
      {"both dwords",
       true,
       {{"Password Delay", REG_DWORD, dword(0)}, {"Mouse Threshold", REG_DWORD, dword(7)}},
       0,
       7},
      {"delay only", true, {{"Password Delay", REG_DWORD, dword(600)}}, 600, 50},
      // As text, the way tweak tools store them: "100" is 100 s, not the bytes of the text.
      {"both as text",
       true,
       {{"Password Delay", REG_SZ, text("100")}, {"Mouse Threshold", REG_SZ, text("-1")}},
       100,
       -1},
      {"threshold no number, delay read",
       true,
       {{"Password Delay", REG_DWORD, dword(30)}, {"Mouse Threshold", REG_SZ, text("abcd")}},
       30,
       50},
      {"texts out of range",
       true,
       {{"Password Delay", REG_SZ, text("-5")}, {"Mouse Threshold", REG_SZ, text("4294967295")}},
       15,
       50},
      {"delay too long, negative threshold read",
       true,
       {{"Password Delay", REG_BINARY, {1, 2, 3, 4, 5}},
        {"Mouse Threshold", REG_BINARY, dword(0xffffffffu)}},
       15,
       -1},
  };
  for (const HostLoadCase& c : cases) {
    SCOPED_TRACE(c.label);
    clean();
    if (c.createKey) createKey(kHostKey);
    for (const ValueSetup& v : c.values) setValue(kHostKey, v.name, v.type, v.data);
    SaverSettings s = scribbled();
    LoadHostSettings(&s);
    EXPECT_EQ(s.PasswordDelay, c.passwordDelay);
    EXPECT_EQ(s.MouseThreshold, c.mouseThreshold);
    EXPECT_EQ(s.CheckingPassword, 0);
    EXPECT_EQ(s.UseMirrors, -77);  // the host loader leaves the saver's setting alone
  }
}

TEST_F(Registry, KeysTheUserMayOnlyReadStillGiveTheirSettings) {
  setValue(kHostKey, "Password Delay", REG_DWORD, dword(30));
  setValue(kHostKey, "Mouse Threshold", REG_DWORD, dword(5));
  setValue(kSaverKey, "UseMirrors", REG_DWORD, dword(0));
  ASSERT_TRUE(restrictToReading(kHostKey));
  ASSERT_TRUE(restrictToReading(kSaverKey));

  // Full access is refused; reading is all the loaders ask for.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kHostKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kHostKey, 0, KEY_ALL_ACCESS, &key),
            ERROR_ACCESS_DENIED);

  SaverSettings s = scribbled();
  LoadHostSettings(&s);
  LoadSaverSettings(&s);
  EXPECT_EQ(s.PasswordDelay, 30u);
  EXPECT_EQ(s.MouseThreshold, 5);
  EXPECT_EQ(s.CheckingPassword, 0);
  EXPECT_EQ(s.UseMirrors, 0);
}

TEST_F(Registry, NullRecordIsIgnoredAndNothingIsWritten) {
  LoadHostSettings(nullptr);
  LoadSaverSettings(nullptr);
  SaveSaverSettings(nullptr);
  EXPECT_FALSE(keyExists(kSaverKey));
}

// ---------------------------------------------------------------- writing

TEST_F(Registry, SaveWritesADwordCreatingTheKey) {
  const int32_t values[] = {1, 0, 7};
  for (int32_t v : values) {
    SCOPED_TRACE(v);
    clean();
    SaverSettings s = scribbled();
    s.UseMirrors = v;
    s.Speed = 40 + v;
    s.Monitors = v;
    SaveSaverSettings(&s);
    const StoredValue stored = readStored(kSaverKey, "UseMirrors");
    ASSERT_TRUE(stored.exists);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.data, dword(static_cast<uint32_t>(v)));
    const StoredValue speed = readStored(kSaverKey, "Speed");
    EXPECT_EQ(speed.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(speed.data, dword(static_cast<uint32_t>(40 + v)));
    EXPECT_EQ(readStored(kSaverKey, "Monitors").data, dword(v == 1 ? 1 : 0));  // 0 or 1 only
  }
}

TEST_F(Registry, SaveReplacesAValueOfAnotherType) {
  setValue(kSaverKey, "UseMirrors", REG_SZ, text("a long string value"));
  SaverSettings s = scribbled();
  s.UseMirrors = 0;
  SaveSaverSettings(&s);
  const StoredValue stored = readStored(kSaverKey, "UseMirrors");
  ASSERT_TRUE(stored.exists);
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored.data, dword(0));
}

TEST_F(Registry, SaveIsSilentWhenTheKeyCannotBeOpenedForWriting) {
  // An existing key the user may only read: opening it with full access is refused.
  setValue(kSaverKey, "UseMirrors", REG_DWORD, dword(7));
  ASSERT_TRUE(restrictToReading(kSaverKey));
  SaverSettings s = scribbled();
  s.UseMirrors = 0;
  SaveSaverSettings(&s);
  const StoredValue stored = readStored(kSaverKey, "UseMirrors");
  ASSERT_TRUE(stored.exists);
  EXPECT_EQ(stored.data, dword(7));
  EXPECT_EQ(s.UseMirrors, 0);
}

// ---------------------------------------------------------------- the dialog

enum class Step { Tab, Space, Return, Escape, ClickBox, ClickMonitorsBox, ClickSavePowerBox, ClickOk, ClickCancel, CloseBox, SpeedToTheRight };

struct DialogDriver {
  std::vector<Step> steps;
  size_t next = 0;
  INT_PTR initResult = -1;
  UINT checkedAtStart = 99;
  int32_t speedAtStart = -1;
  UINT monitorsCheckedAtStart = 99;
  UINT savePowerCheckedAtStart = 99;
};
DialogDriver* driver = nullptr;

void postKey(UINT vk) {
  HWND focus = GetFocus();
  PostMessageA(focus, WM_KEYDOWN, vk, 1);
  PostMessageA(focus, WM_KEYUP, vk, 0xC0000001);
}

void perform(HWND dialog, Step step) {
  switch (step) {
    case Step::Tab: postKey(VK_TAB); break;
    case Step::Space: postKey(VK_SPACE); break;
    case Step::Return: postKey(VK_RETURN); break;
    case Step::Escape: postKey(VK_ESCAPE); break;
    case Step::ClickBox:
      SendMessageA(GetDlgItem(dialog, ORVANE_CONTROL_USE_MIRRORS), BM_CLICK, 0, 0);
      break;
    case Step::ClickMonitorsBox:
      SendMessageA(GetDlgItem(dialog, ORVANE_CONTROL_MAIN_MONITOR_ONLY), BM_CLICK, 0, 0);
      break;
    case Step::ClickSavePowerBox:
      SendMessageA(GetDlgItem(dialog, ORVANE_CONTROL_SAVE_POWER), BM_CLICK, 0, 0);
      break;
    case Step::ClickOk: SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); break;
    case Step::ClickCancel: SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); break;
    case Step::CloseBox: PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case Step::SpeedToTheRight: SendDlgItemMessageA(dialog, ORVANE_CONTROL_SPEED, TBM_SETPOS, TRUE, 30); break;
  }
}

// Passes every message to ConfigDialogProc and, from inside the modal loop, plays the
// script one step per posted WM_APP, so each step's messages are handled before the next.
INT_PTR CALLBACK drivingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    if (driver->next < driver->steps.size()) {
      perform(dialog, driver->steps[driver->next++]);
      PostMessageA(dialog, WM_APP, 0, 0);
    } else {
      // Messages the last step posted are still to come; if they do not close the
      // dialog within two seconds, the run ends with 99.
      SetTimer(dialog, 1, 2000, nullptr);
    }
    return TRUE;
  }
  if (message == WM_TIMER && wParam == 1) {
    EndDialog(dialog, 99);
    return TRUE;
  }
  const INT_PTR result = ConfigDialogProc(dialog, message, wParam, lParam);
  if (message == WM_INITDIALOG) {
    driver->initResult = result;
    driver->checkedAtStart = IsDlgButtonChecked(dialog, ORVANE_CONTROL_USE_MIRRORS);
    driver->speedAtStart = static_cast<int32_t>(SendDlgItemMessageA(dialog, ORVANE_CONTROL_SPEED, TBM_GETPOS, 0, 0));
    driver->monitorsCheckedAtStart = IsDlgButtonChecked(dialog, ORVANE_CONTROL_MAIN_MONITOR_ONLY);
    driver->savePowerCheckedAtStart = IsDlgButtonChecked(dialog, ORVANE_CONTROL_SAVE_POWER);
    PostMessageA(dialog, WM_APP, 0, 0);
  }
  return result;
}

struct DialogCase {
  const char* label;
  bool stored;  // whether UseMirrors is stored before the run
  uint32_t storedValue;
  std::vector<Step> steps;
  UINT checkedAtStart;
  INT_PTR result;
  bool storedAfter;
  uint32_t valueAfter;
};

TEST_F(Registry, DialogShowsTheSettingAndOnlyOkSavesIt) {
  using S = Step;
  const DialogCase cases[] = {
      {"nothing stored, OK", false, 0, {S::ClickOk}, BST_CHECKED, IDOK, true, 1},
      {"nothing stored, cleared, OK", false, 0, {S::ClickBox, S::ClickOk}, BST_CHECKED, IDOK, true,
       0},
      {"0 stored, OK unchanged", true, 0, {S::ClickOk}, BST_UNCHECKED, IDOK, true, 0},
      {"0 stored, ticked, OK", true, 0, {S::ClickBox, S::ClickOk}, BST_UNCHECKED, IDOK, true, 1},
      {"7 stored shows ticked, OK stores 1", true, 7, {S::ClickOk}, BST_CHECKED, IDOK, true, 1},
      {"7 stored, Cancel keeps 7", true, 7, {S::ClickBox, S::ClickCancel}, BST_CHECKED, IDCANCEL,
       true, 7},
      {"nothing stored, toggled, Cancel", false, 0, {S::ClickBox, S::ClickCancel}, BST_CHECKED,
       IDCANCEL, false, 0},
      {"nothing stored, Escape", false, 0, {S::ClickBox, S::Escape}, BST_CHECKED, IDCANCEL, false,
       0},
      {"0 stored, close box", true, 0, {S::ClickBox, S::CloseBox}, BST_UNCHECKED, IDCANCEL, true,
       0},
      {"Return is OK", false, 0, {S::Return}, BST_CHECKED, IDOK, true, 1},
      {"Tab to the box, Space, Return", false, 0, {S::Tab, S::Tab, S::Space, S::Return},
       BST_CHECKED, IDOK, true, 0},
      {"Tab to the box, Space, Escape", true, 0, {S::Tab, S::Tab, S::Space, S::Escape},
       BST_UNCHECKED, IDCANCEL, true, 0},
  };
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.label);
    clean();
    if (c.stored) setValue(kSaverKey, "UseMirrors", REG_DWORD, dword(c.storedValue));
    SaverSettings s = scribbled();
    LoadHostSettings(&s);
    LoadSaverSettings(&s);
    saverSettings = &s;
    DialogDriver d;
    d.steps = c.steps;
    driver = &d;
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG), nullptr,
                        drivingProc, 0);
    driver = nullptr;
    EXPECT_EQ(d.initResult, TRUE);
    EXPECT_EQ(d.checkedAtStart, c.checkedAtStart);
    EXPECT_EQ(result, c.result);
    const StoredValue stored = readStored(kSaverKey, "UseMirrors");
    ASSERT_EQ(stored.exists, c.storedAfter);
    if (!c.stored && !c.storedAfter) {
      EXPECT_FALSE(keyExists(kSaverKey));  // not even created
    }
    if (c.storedAfter) {
      EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
      EXPECT_EQ(stored.data, dword(c.valueAfter));
    }
  }
}

// The track bar shows the stored speed; OK stores where it was moved to (a speed between two
// marks stays as stored while it is not moved), Cancel stores nothing.
TEST_F(Registry, DialogShowsTheSpeedAndOnlyOkSavesIt) {
  struct SpeedCase {
    const char* label;
    int32_t stored;  // 0: none
    bool move;       // the track bar is moved to the right end first
    Step close;
    int32_t positionAtStart;
    bool storedAfter;
    uint32_t speedAfter;
  };
  const SpeedCase cases[] = {
      {"nothing stored, OK", 0, false, Step::ClickOk, 15, true, 100},
      {"63 stored, OK keeps it", 63, false, Step::ClickOk, 8, true, 63},
      {"moved to the right, OK", 50, true, Step::ClickOk, 5, true, 200},
      {"moved, Cancel", 0, true, Step::ClickCancel, 15, false, 0},
  };
  for (const SpeedCase& c : cases) {
    SCOPED_TRACE(c.label);
    clean();
    if (c.stored) setValue(kSaverKey, "Speed", REG_DWORD, dword(uint32_t(c.stored)));
    SaverSettings s = scribbled();
    LoadSaverSettings(&s);
    saverSettings = &s;
    DialogDriver d;
    if (c.move) d.steps.push_back(Step::SpeedToTheRight);
    d.steps.push_back(c.close);
    driver = &d;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG), nullptr, drivingProc, 0);
    driver = nullptr;
    EXPECT_EQ(d.speedAtStart, c.positionAtStart);
    const StoredValue stored = readStored(kSaverKey, "Speed");
    EXPECT_EQ(stored.exists, c.storedAfter || c.stored != 0);
    if (c.storedAfter) {
      EXPECT_EQ(stored.data, dword(c.speedAfter));
    }
  }
}

// "Only the main monitor", the tab stop after "Use Mirrors", shows Monitors, and "Save power
// on battery", the next, shows SavePower (ticked when nothing is stored); OK stores them and
// Cancel nothing.
TEST_F(Registry, DialogShowsMonitorsAndSavePowerAndOnlyOkSavesThem) {
  using S = Step;
  const struct Case {
    const char* value;
    int32_t stored;  // -1: nothing stored
    std::vector<Step> steps;
    UINT checkedAtStart;
    int32_t after;  // -1: nothing stored
  } cases[] = {
      {"Monitors", -1, {S::ClickMonitorsBox, S::ClickOk}, BST_UNCHECKED, 1},
      {"Monitors", 1, {S::ClickMonitorsBox, S::ClickOk}, BST_CHECKED, 0},
      {"Monitors", -1, {S::ClickMonitorsBox, S::ClickCancel}, BST_UNCHECKED, -1},
      {"Monitors", -1, {S::Tab, S::Tab, S::Tab, S::Space, S::Return}, BST_UNCHECKED, 1},
      {"SavePower", -1, {S::ClickOk}, BST_CHECKED, 1},
      {"SavePower", -1, {S::ClickSavePowerBox, S::ClickOk}, BST_CHECKED, 0},
      {"SavePower", 0, {S::ClickSavePowerBox, S::ClickCancel}, BST_UNCHECKED, 0},
      {"SavePower", 0, {S::Tab, S::Tab, S::Tab, S::Tab, S::Space, S::Return}, BST_UNCHECKED, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << ", " << c.steps.size() << " steps");
    clean();
    if (c.stored >= 0) setValue(kSaverKey, c.value, REG_DWORD, dword(static_cast<uint32_t>(c.stored)));
    SaverSettings s = scribbled();
    LoadSaverSettings(&s);
    saverSettings = &s;
    DialogDriver d{c.steps};
    driver = &d;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG), nullptr, drivingProc, 0);
    driver = nullptr;
    EXPECT_EQ(std::string(c.value) == "Monitors" ? d.monitorsCheckedAtStart : d.savePowerCheckedAtStart, c.checkedAtStart);
    const StoredValue stored = readStored(kSaverKey, c.value);
    EXPECT_EQ(stored.data, c.after >= 0 ? dword(static_cast<uint32_t>(c.after)) : std::vector<uint8_t>{});
  }
}

TEST_F(Registry, DialogClosesOnOkEvenWhenTheSettingCannotBeSaved) {
  setValue(kSaverKey, "UseMirrors", REG_DWORD, dword(7));
  ASSERT_TRUE(restrictToReading(kSaverKey));
  SaverSettings s = scribbled();
  LoadSaverSettings(&s);  // 7, shown ticked
  saverSettings = &s;
  DialogDriver d;
  d.steps = {Step::ClickBox, Step::ClickOk};
  driver = &d;
  const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr),
                                         MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG), nullptr,
                                         drivingProc, 0);
  driver = nullptr;
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(s.UseMirrors, 0);
  EXPECT_EQ(readStored(kSaverKey, "UseMirrors").data, dword(7));
}

TEST_F(Registry, DialogIgnoresOtherCommandsAndMessages) {
  SaverSettings s = scribbled();
  s.UseMirrors = 0;
  saverSettings = &s;
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG),
                                   nullptr, ConfigDialogProc, 0);
  ASSERT_NE(dialog, nullptr);
  ShowWindow(dialog, SW_SHOW);
  ASSERT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(IsDlgButtonChecked(dialog, ORVANE_CONTROL_USE_MIRRORS),
            static_cast<UINT>(BST_UNCHECKED));
  // A stray OK would store the cleared box over this; a stray OK or Cancel would end the
  // dialog, which hides a modeless one.
  s.UseMirrors = 7;
  // A click on the check box itself, an unknown id and an unrelated message do nothing
  // and report unhandled.
  EXPECT_EQ(ConfigDialogProc(dialog, WM_COMMAND, MAKEWPARAM(ORVANE_CONTROL_USE_MIRRORS, BN_CLICKED),
                             0),
            FALSE);
  EXPECT_EQ(ConfigDialogProc(dialog, WM_COMMAND, 4242, 0), FALSE);
  EXPECT_EQ(ConfigDialogProc(dialog, WM_TIMER, 1, 0), FALSE);
  EXPECT_EQ(s.UseMirrors, 7);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_FALSE(keyExists(kSaverKey));
  DestroyWindow(dialog);
}

// ---------------------------------------------------------------- the resources

// Reads the resource compiler's output for dialog 104 field by field.
class TemplateReader {
 public:
  TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  uint16_t word() {
    if (pos_ + 2 > size_) return fail<uint16_t>();
    const uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t dword() {
    const uint32_t lo = word();
    return lo | (static_cast<uint32_t>(word()) << 16);
  }
  std::string text() {  // a zero-ended UTF-16 string of ASCII characters
    std::string s;
    for (uint16_t c = word(); ok_ && c != 0; c = word()) s += static_cast<char>(c);
    return s;
  }
  // A name or an ordinal: "" for none, "#n" for an ordinal, else the name.
  std::string nameOrOrdinal() {
    const uint16_t first = word();
    if (first == 0) return "";
    if (first == 0xffff) return "#" + std::to_string(word());
    std::string s(1, static_cast<char>(first));
    return s + text();
  }
  void alignToDword() { pos_ = (pos_ + 3) & ~size_t{3}; }

 private:
  template <typename T>
  T fail() {
    ok_ = false;
    pos_ = size_;
    return T{};
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

struct ItemExpectation {
  uint32_t style;
  int16_t x, y, cx, cy;
  uint16_t id;
  const char* windowClass;
  const char* text;
};

TEST(Resources, Dialog104IsExactlyTheConfigurationDialog) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG), MAKEINTRESOURCEA(5));
  ASSERT_NE(found, nullptr);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  ASSERT_NE(data, nullptr);
  TemplateReader r(data, SizeofResource(module, found));

  EXPECT_EQ(r.dword(), static_cast<uint32_t>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                             DS_SETFONT));
  EXPECT_EQ(r.dword(), 0u);  // extended style
  const uint16_t count = r.word();
  ASSERT_EQ(count, 14);
  const int16_t x = static_cast<int16_t>(r.word()), y = static_cast<int16_t>(r.word());
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(r.word(), 246);
  EXPECT_EQ(r.word(), 160);
  EXPECT_EQ(r.nameOrOrdinal(), "");  // no menu
  EXPECT_EQ(r.nameOrOrdinal(), "");  // the default dialog class
  EXPECT_EQ(r.text(), "Config dialog");
  EXPECT_EQ(r.word(), 8);
  EXPECT_EQ(r.text(), "MS Sans Serif");

  const DWORD label = SS_LEFT | WS_CHILD | WS_VISIBLE | WS_GROUP;
  const DWORD push = BS_PUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  const ItemExpectation items[] = {
      {BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 190, 6, 50, 14, IDOK, "#128", "OK"},
      {push, 190, 24, 50, 14, IDCANCEL, "#128", "Cancel"},
      {BS_AUTOCHECKBOX | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 9, 10, 120, 10, 1001, "#128", "Use Mirrors"},
      {BS_AUTOCHECKBOX | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 9, 24, 120, 10, 1002, "#128", "Only the main monitor"},
      {BS_AUTOCHECKBOX | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 9, 38, 120, 10, 1003, "#128", "Save power on battery"},
      {label, 9, 58, 60, 8, 0xffff, "#130", "Speed"},
      {label, 9, 74, 30, 8, 0xffff, "#130", "Slower"},
      {TBS_HORZ | TBS_AUTOTICKS | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 40, 70, 140, 16, 1010, "MSCTLS_TRACKBAR32", ""},
      {label, 184, 74, 30, 8, 0xffff, "#130", "Faster"},
      {BS_GROUPBOX | WS_CHILD | WS_VISIBLE, 7, 92, 233, 50, 0xffff, "#128", "Your pictures"},
      {label, 14, 104, 222, 8, 1011, "#130", ""},
      {push, 14, 120, 80, 14, 1012, "#128", "Add pictures..."},
      {push, 100, 120, 90, 14, 1013, "#128", "Remove my pictures"},
      {label, 7, 148, 80, 8, 0xffff, "#130", "Version 1.0"},
  };
  for (const ItemExpectation& e : items) {
    SCOPED_TRACE(e.text);
    r.alignToDword();
    EXPECT_EQ(r.dword(), e.style);
    EXPECT_EQ(r.dword(), 0u);
    EXPECT_EQ(static_cast<int16_t>(r.word()), e.x);
    EXPECT_EQ(static_cast<int16_t>(r.word()), e.y);
    EXPECT_EQ(static_cast<int16_t>(r.word()), e.cx);
    EXPECT_EQ(static_cast<int16_t>(r.word()), e.cy);
    EXPECT_EQ(r.word(), e.id);
    std::string windowClass = r.nameOrOrdinal();
    if (windowClass == "BUTTON" || windowClass == "Button") windowClass = "#128";
    EXPECT_EQ(windowClass, e.windowClass);
    EXPECT_EQ(r.nameOrOrdinal(), e.text);
    EXPECT_EQ(r.word(), 0);  // no creation data
  }
  EXPECT_TRUE(r.ok());
}

TEST(Resources, DialogWindowHasTheCaptionAndControlsInOrder) {
  RegisterDialogControls();
  SaverSettings s = scribbled();
  saverSettings = &s;
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG),
                                   nullptr, ConfigDialogProc, 0);
  ASSERT_NE(dialog, nullptr);
  char caption[64] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, "Config dialog");
  const int ids[] = {IDOK, IDCANCEL, ORVANE_CONTROL_USE_MIRRORS, ORVANE_CONTROL_MAIN_MONITOR_ONLY,
                     ORVANE_CONTROL_SAVE_POWER, 0xffff, 0xffff,
                     ORVANE_CONTROL_SPEED, 0xffff, 0xffff,
                     ORVANE_CONTROL_PICTURES_LINE, ORVANE_CONTROL_ADD_PICTURES, ORVANE_CONTROL_REMOVE_PICTURES, 0xffff};
  HWND child = GetWindow(dialog, GW_CHILD);
  for (int id : ids) {
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child) & 0xffff, id);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
  DestroyWindow(dialog);
  saverSettings = nullptr;
}

TEST(Resources, DescriptionString) {
  char buffer[64] = {};
  EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), ORVANE_STRING_DESCRIPTION, buffer, sizeof buffer),
            19);
  EXPECT_STREQ(buffer, "Orvane screen saver");
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colorCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
};
#pragma pack(pop)

TEST(Resources, IconGroupHasA32And16PixelImageOf16Colours) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(ORVANE_ICON_PROGRAM), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
  const DWORD size = SizeofResource(module, group);
  ASSERT_GE(size, 6u);
  uint16_t header[3];
  std::memcpy(header, data, sizeof header);
  EXPECT_EQ(header[1], 1);  // icons
  ASSERT_EQ(header[2], 2);
  ASSERT_GE(size, 6u + 2 * sizeof(GroupIconEntry));
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    GroupIconEntry e;
    std::memcpy(&e, data + 6 + i * sizeof e, sizeof e);
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(e.width, sizes[i]);
    EXPECT_EQ(e.height, sizes[i]);
    EXPECT_EQ(e.colorCount, 16);
    EXPECT_EQ(e.bitCount, 4);
    // The image itself: a 4-bit bitmap of that size with a 16-entry palette.
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(e.id), RT_ICON);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(SizeofResource(module, image), e.bytesInRes);
    BITMAPINFOHEADER bih;
    ASSERT_GE(e.bytesInRes, sizeof bih);
    std::memcpy(&bih, LockResource(LoadResource(module, image)), sizeof bih);
    EXPECT_EQ(bih.biWidth, sizes[i]);
    EXPECT_EQ(bih.biHeight, 2 * sizes[i]);
    EXPECT_EQ(bih.biBitCount, 4);
    // Header, palette, 4-bit rows and 1-bit mask rows (each padded to 4 bytes).
    const DWORD rowBytes = ((sizes[i] * 4 + 31) / 32) * 4, maskBytes = ((sizes[i] + 31) / 32) * 4;
    EXPECT_EQ(e.bytesInRes, 40 + 16 * 4 + sizes[i] * (rowBytes + maskBytes));
    HICON icon = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(ORVANE_ICON_PROGRAM), IMAGE_ICON, sizes[i], sizes[i], 0));
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) DestroyIcon(icon);
  }
}

}  // namespace

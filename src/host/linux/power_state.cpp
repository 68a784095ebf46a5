// The machine's power source from the kernel's power-supply class.
#include "host/linux/power_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

// The first line of a small attribute file, without its newline; empty when it cannot be
// read. At most 31 bytes are taken, whatever the file holds.
std::string attribute(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "";
  char text[32];
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return "";
  std::string value(text, static_cast<size_t>(n));
  const size_t end = value.find_first_of("\n\r");
  if (end != std::string::npos) value.resize(end);
  return value;
}

}  // namespace

bool onBatteryPower(const std::string& classDir) {
  DIR* dir = opendir(classDir.c_str());
  if (dir == nullptr) return false;
  bool external = false, discharging = false;
  // A machine has a handful of supplies; a class with thousands of entries is not read whole.
  int entries = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    if (++entries > 256) break;
    const std::string supply = classDir + "/" + entry->d_name + "/";
    const std::string type = attribute(supply + "type");
    if (type == "Mains" || type.compare(0, 3, "USB") == 0) {
      if (attribute(supply + "online") == "1") external = true;
    } else if (type == "Battery") {
      if (attribute(supply + "status") == "Discharging") discharging = true;
    }
  }
  closedir(dir);
  return discharging && !external;
}

bool PowerWatch::update(int64_t nowMicros) {
  if (!enabled_) return false;
  if (looked_ && nowMicros - lookedAt_ < kPowerCheckMicros && nowMicros >= lookedAt_) return false;
  looked_ = true;
  lookedAt_ = nowMicros;
  const bool before = onBattery_;
  onBattery_ = onBatteryPower(classDir_);
  return onBattery_ != before;
}

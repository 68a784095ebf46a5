#pragma once
// Whether the machine runs on its battery, as the kernel's power-supply class tells it, and
// how often the Linux hosts look again. Reads only small files, each at most a few bytes
// taken; anything unreadable or unexpected counts as "not on battery" (the full rate).
#include <cstdint>
#include <string>
#include <utility>

// The class the kernel keeps the machine's supplies in.
constexpr const char* kPowerSupplyClass = "/sys/class/power_supply";

// On battery: no mains or USB supply is online and at least one battery is discharging.
// `classDir` holds one folder per supply with its `type`, `online` and `status` files.
bool onBatteryPower(const std::string& classDir);

// How long the last look at the supplies stays good: a change of supply applies within
// this time plus one frame.
constexpr int64_t kPowerCheckMicros = 3000000;

// The power state a host paces by: looked at again every kPowerCheckMicros, never more often.
class PowerWatch {
 public:
  // `enabled` false (--no-save-power): never on battery, and nothing is read.
  PowerWatch(bool enabled, std::string classDir = kPowerSupplyClass)
      : enabled_(enabled), classDir_(std::move(classDir)) {}
  // Looks again when the last look is older than kPowerCheckMicros at `nowMicros`; true
  // when the answer changed (the caller then takes its pace again).
  bool update(int64_t nowMicros);
  bool onBattery() const { return onBattery_; }

 private:
  bool enabled_;
  std::string classDir_;
  bool looked_ = false;
  bool onBattery_ = false;
  int64_t lookedAt_ = 0;
};

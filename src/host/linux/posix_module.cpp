#include "host/linux/posix_module.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/frame_loop.h"
#include "host/posix_home.h"
#include "host/prop_places.h"
#include "props/prop_atlas.h"

namespace {

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) { stopSignal = signal; }

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The installed sample prop file, found from where the program lies, so that an install
// under any prefix (or unpacked anywhere) finds its own samples.
std::string samplesPath(const char* samplesFromProgram) {
  char program[4096];
  const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length <= 0) return "";
  program[length] = '\0';
  std::string folder(program);
  folder.erase(folder.rfind('/') + 1);
  return folder + samplesFromProgram;
}

}  // namespace

sigset_t holdStopSignals() {
  sigset_t stopSet, openMask;
  sigemptyset(&stopSet);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stopSet, s);
  sigprocmask(SIG_BLOCK, &stopSet, &openMask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&openMask, s);
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return openMask;
}

int takenStopSignal() { return stopSignal; }

void choosePropFiles(const ModuleOptions& options, const char* samplesFromProgram) {
  if (!options.props.empty()) {
    if (FILE* f = std::fopen(options.props.c_str(), "rb")) {
      std::fclose(f);
    } else {
      std::fprintf(stderr, "orvane: cannot open '%s' (%s): no sprites\n", options.props.c_str(), std::strerror(errno));
    }
    setPropFileCandidates({options.props});
    return;
  }
  PropPlaceInputs places;
  places.xdgDataHome = environment("XDG_DATA_HOME");
  places.home = posixHomeFolder();
  places.winePrefix = environment("WINEPREFIX");
  places.samples = samplesPath(samplesFromProgram);
  setPropFileCandidates(linuxPropPlaces(places));
}

int64_t monotonicMicros() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

double clockSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The deadline is absolute on CLOCK_MONOTONIC; the wait is the time left to it, taken again
// after every wake-up that was not for the connection, so a signal that is not a stop does
// not shorten the pace.
void waitForConnection(int fd, int64_t deadlineMicros, const sigset_t* openMask) {
  pollfd watched{fd, POLLIN, 0};
  for (;;) {
    timespec wait{};
    timespec* timeout = nullptr;
    if (deadlineMicros != kNoDeadline) {
      const int64_t left = deadlineMicros - monotonicMicros();
      if (left <= 0) return;
      wait.tv_sec = static_cast<time_t>(left / 1000000);
      wait.tv_nsec = static_cast<long>(left % 1000000) * 1000;
      timeout = &wait;
    }
    const int ready = ppoll(fd >= 0 ? &watched : nullptr, fd >= 0 ? 1 : 0, timeout, openMask);
    if (ready > 0 || stopSignal != 0) return;
    if (ready < 0 && errno != EINTR) return;  // the caller's next call meets the fault
    // The deadline passed (the next round returns) or another signal came: wait on.
  }
}

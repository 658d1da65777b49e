#include "platform/posix/temp_cleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/text.h"

namespace {

constexpr int kCoveredSignals[] = {SIGINT, SIGTERM, SIGHUP};

char temp_name[48];
unsigned temp_number = 0;

volatile sig_atomic_t covered = 0;
volatile sig_atomic_t covered_folder = -1;
const char* volatile covered_name = nullptr;

extern "C" void remove_and_end(int signal_number) {
  if (covered != 0) {
    unlinkat(covered_folder, covered_name, 0);
  }
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// Catches the signals only where they would end the process: one that the
// caller set to be ignored stays ignored.
void install_handlers() {
  static bool installed = false;
  if (installed) {
    return;
  }
  installed = true;
  for (int signal_number : kCoveredSignals) {
    struct sigaction current;
    if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      struct sigaction handler = {};
      handler.sa_handler = remove_and_end;
      sigemptyset(&handler.sa_mask);
      sigaction(signal_number, &handler, nullptr);
    }
  }
}

}  // namespace

const char* next_temp_name() {
  covered = 0;
  char process[12];
  char number[12];
  decimal_text(static_cast<int>(getpid()), process);
  decimal_text(static_cast<int>(temp_number++ & 0x7fffffff), number);
  temp_name[0] = '\0';
  text_append(temp_name, sizeof temp_name, ".velk-");
  text_append(temp_name, sizeof temp_name, process);
  text_append(temp_name, sizeof temp_name, "-");
  text_append(temp_name, sizeof temp_name, number);
  text_append(temp_name, sizeof temp_name, ".tmp");
  return temp_name;
}

void cover_written(int folder, const char* name) {
  install_handlers();
  covered = 0;
  covered_folder = folder;
  covered_name = name;
  covered = 1;
}

void end_temp_cleanup() {
  covered = 0;
}

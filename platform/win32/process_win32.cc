// Process start-up and exit on Windows. The words come from the command line
// as the process received it, split by the program's own rules, so that a
// quoted path or an escaped double quote means the same under every runtime.

#include <windows.h>

#include "platform/command_line.h"
#include "platform/process.h"

namespace {

// A command line holds at most 32767 UTF-16 units; in the ANSI code page each
// may take two bytes. Every word takes at least two bytes of the line.
constexpr size_t kLineBytes = 2 * 32768;
constexpr int kMaxWords = kLineBytes / 2 + 1;

char program_path[32768];
char word_storage[kLineBytes + 1];
char* word_list[kMaxWords + 1];

bool lead_byte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != 0;
}

}  // namespace

// No Ctrl+C handler: an interrupted run ends as the system ends it.
void start_process() {}

void process_words(int /*argc*/, char** /*argv*/, int* count, char*** words) {
  DWORD length = GetModuleFileNameA(nullptr, program_path, sizeof program_path);
  if (length == 0 || length >= sizeof program_path) {
    program_path[0] = '\0';
  }
  word_list[0] = program_path;
  int found = split_command_line(GetCommandLineA(), lead_byte, word_storage, sizeof word_storage,
                                 word_list + 1, kMaxWords);
  if (found < 0) {
    found = 0;
  } else if (found > kMaxWords) {
    found = kMaxWords;
  }
  *count = found + 1;
  *words = word_list;
}

void end_process(int status) {
  flush_output();
  ExitProcess(static_cast<UINT>(status));
}

// A stand-in for the command interpreter on Windows. It is started as
// "<short path> /c <text>" in one command line, which it reads as the child
// receives it: everything after the first " /c " is <text>, taken verbatim and
// appended with a line feed to the file named by VELK_RECORD_LOG. With
// VELK_RECORD_WHOLE_LINE set, the whole command line is recorded instead. It
// exits with the code in VELK_RECORD_EXIT (0 when unset). A line without
// " /c " is recorded after "BAD CALL: ". With VELK_RECORD_ECHO set, it also
// writes "ran: <text>" as a line to its standard output, which it shares with
// velk, so that a test can see the order of the two programs' lines.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main() {
  const char* log = getenv("VELK_RECORD_LOG");
  if (log == nullptr) {
    return 99;
  }
  FILE* out = fopen(log, "ab");
  if (out == nullptr) {
    return 98;
  }
  const char* line = GetCommandLineA();
  const char* mark = strstr(line, " /c ");
  if (getenv("VELK_RECORD_WHOLE_LINE") != nullptr) {
    fprintf(out, "%s\n", line);
  } else if (mark != nullptr) {
    fprintf(out, "%s\n", mark + 4);
  } else {
    fprintf(out, "BAD CALL: %s\n", line);
  }
  fclose(out);
  if (getenv("VELK_RECORD_ECHO") != nullptr && mark != nullptr) {
    printf("ran: %s\n", mark + 4);
  }
  const char* code = getenv("VELK_RECORD_EXIT");
  return code != nullptr ? atoi(code) : 0;
}

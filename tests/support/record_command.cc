// A stand-in for the command interpreter. Started as "<self> /c <text>", it
// appends <text> and a line feed to the file named by VELK_RECORD_LOG and
// exits with the code in VELK_RECORD_EXIT (0 when unset). Any other shape of
// call is recorded as a line beginning with "BAD CALL".

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const char* log = getenv("VELK_RECORD_LOG");
  if (log == nullptr) {
    return 99;
  }
  FILE* out = fopen(log, "ab");
  if (out == nullptr) {
    return 98;
  }
  if (argc == 3 && strcmp(argv[1], "/c") == 0) {
    fprintf(out, "%s\n", argv[2]);
  } else {
    fprintf(out, "BAD CALL with %d words\n", argc);
  }
  fclose(out);
  const char* code = getenv("VELK_RECORD_EXIT");
  return code != nullptr ? atoi(code) : 0;
}

#pragma once

#include <cstddef>
#include <type_traits>

// Process start-up and exit, the console, and the command interpreter.

// Prepares the process before anything else runs.
void start_process();

// Hands out the words of the command line: word 0 is the full path of the
// program's own file, the rest are the operands as the user gave them. The
// words stay valid to the end of the run.
void process_words(int argc, char** argv, int* count, char*** words);

// Writes out what is pending and ends the process with `status` as its exit
// code (-1 gives 255 on POSIX and 4294967295 on Windows).
[[noreturn]] void end_process(int status);

// Formatting. The format text's only conversion is "%s", each taking the next
// text argument; every other character is copied as it stands.
int format_text_list(char* buffer, size_t size, const char* format, const char* const* texts,
                     int count);
void print_list(int stream, const char* format, const char* const* texts, int count);

constexpr int kStandardOutput = 1;
constexpr int kStandardError = 2;

// Formats into `buffer` (`size` bytes). Returns 0 when the whole text fit;
// otherwise returns non-zero and leaves an empty text, never a shortened one.
template <typename... Texts>
int format_text(char* buffer, size_t size, const char* format, Texts... texts) {
  static_assert((std::is_convertible_v<Texts, const char*> && ...), "format_text takes texts");
  const char* list[] = {texts..., nullptr};
  return format_text_list(buffer, size, format, list, static_cast<int>(sizeof...(texts)));
}

// Prints to standard output: unbuffered on a terminal, otherwise buffered in
// 512 bytes and written out before each command and at exit, so that velk's
// lines and the commands' output keep the order of events.
template <typename... Texts>
void print_out(const char* format, Texts... texts) {
  static_assert((std::is_convertible_v<Texts, const char*> && ...), "print_out takes texts");
  const char* list[] = {texts..., nullptr};
  print_list(kStandardOutput, format, list, static_cast<int>(sizeof...(texts)));
}

// Prints to standard error, which is never buffered.
template <typename... Texts>
void print_err(const char* format, Texts... texts) {
  static_assert((std::is_convertible_v<Texts, const char*> && ...), "print_err takes texts");
  const char* list[] = {texts..., nullptr};
  print_list(kStandardError, format, list, static_cast<int>(sizeof...(texts)));
}

// Writes out whatever standard output holds.
void flush_output();

// Runs one command line through the command interpreter and waits for it to
// end. Returns its exit code, or -1 when no interpreter could be started.
int run_command(const char* text);

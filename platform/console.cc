#include <cstring>

#include "platform/console.h"
#include "platform/process.h"

namespace {

constexpr size_t kOutputBufferSize = 512;

char output_buffer[kOutputBufferSize];
size_t output_used = 0;
int output_mode = -1;  // -1 not decided yet, 0 buffered, 1 unbuffered

bool output_unbuffered() {
  if (output_mode < 0) {
    output_mode = console_is_terminal(kStandardOutput) ? 1 : 0;
  }
  return output_mode == 1;
}

void emit(int stream, const char* data, size_t length) {
  if (length == 0) {
    return;
  }
  if (stream != kStandardOutput || output_unbuffered()) {
    console_write(stream, data, length);
    return;
  }
  while (length > 0) {
    size_t room = kOutputBufferSize - output_used;
    size_t part = length < room ? length : room;
    memcpy(output_buffer + output_used, data, part);
    output_used += part;
    data += part;
    length -= part;
    if (output_used == kOutputBufferSize) {
      flush_output();
    }
  }
}

// Cuts a format into its pieces, literal stretches and the texts that stand
// for its "%s", and hands each to `sink` until the sink refuses one.
template <typename Sink>
bool walk_format(const char* format, const char* const* texts, int count, Sink sink) {
  int next = 0;
  for (const char* at = format; *at != '\0';) {
    const char* piece = at;
    size_t length;
    if (at[0] == '%' && at[1] == 's') {
      piece = next < count ? texts[next] : "";
      ++next;
      length = strlen(piece);
      at += 2;
    } else {
      const char* stop = strchr(at + 1, '%');
      length = stop != nullptr ? static_cast<size_t>(stop - at) : strlen(at);
      at += length;
    }
    if (length > 0 && !sink(piece, length)) {
      return false;
    }
  }
  return true;
}

}  // namespace

void flush_output() {
  if (output_used > 0) {
    console_write(kStandardOutput, output_buffer, output_used);
    output_used = 0;
  }
}

int format_text_list(char* buffer, size_t size, const char* format, const char* const* texts,
                     int count) {
  size_t used = 0;
  bool fit = walk_format(format, texts, count, [&](const char* data, size_t length) {
    if (length >= size - used) {
      return false;
    }
    memcpy(buffer + used, data, length);
    used += length;
    return true;
  });
  buffer[fit ? used : 0] = '\0';
  return fit ? 0 : -1;
}

void print_list(int stream, const char* format, const char* const* texts, int count) {
  walk_format(format, texts, count, [&](const char* data, size_t length) {
    emit(stream, data, length);
    return true;
  });
}

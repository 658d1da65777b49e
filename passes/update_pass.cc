#include "passes/update_pass.h"

#include <cstring>

#include "app/workspace.h"
#include "passes/folder_walk.h"
#include "passes/outcome.h"
#include "passes/probes.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

constexpr char kFolderTemplate[] = "xcopy /I/F/E/C/Y/H/R/K/O/X/G \"%s\" \"%s\" ";
constexpr char kFileTemplate[] = "xcopy /F/E/C/Y/H/R/K/O/X/G \"%s\" \"%s\" ";

// A folder the target lacks is copied whole by one command; one both trees
// have is descended into, unless the source's is a link.
void update_folder(char* source, char* target, uint32_t attributes) {
  if (path_exists(target)) {
    if ((attributes & kAttributeReparsePoint) == 0) {
      update_tree(source, target);
    }
    return;
  }
  if (format_text(update_command, sizeof update_command, kFolderTemplate, source, target) != 0) {
    report_too_long(source, nullptr);
    return;
  }
  run_tracked_command(update_command);
}

// The file command names the target folder, not the file: the formatted text
// is cut right after the separator before the entry's name and closed with a
// double quote.
void update_file(const char* source, const char* target) {
  if (files_match(source, target)) {
    return;
  }
  if (format_text(update_command, sizeof update_command, kFileTemplate, source, target) != 0) {
    report_too_long(source, nullptr);
    return;
  }
  char* last_separator = strrchr(update_command, kSeparator);
  last_separator[1] = '\0';
  text_append(update_command, sizeof update_command, "\"");
  run_tracked_command(update_command);
}

void update_entry(char* source, char* target, uint32_t attributes) {
  if ((attributes & kAttributeDirectory) != 0) {
    update_folder(source, target, attributes);
  } else {
    update_file(source, target);
  }
}

}  // namespace

void update_tree(char* source, char* target) { walk_folder(source, target, update_entry); }

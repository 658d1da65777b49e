#pragma once

#include <sys/stat.h>

// The copy engine of the built-in xcopy: one file or symbolic link at a time,
// between folders held open by the caller, so that no name is resolved twice
// and nothing on the way is ever followed.

struct CopySettings {
  bool newer_only;         // copy only over an older target, or where there is none
  bool replace_read_only;  // a target without its owner-write bit may be replaced
  bool keep_mode;          // permission bits come from the source
  bool keep_owner;         // owner and group come from the source, where permitted
};

enum class CopyResult { kCopied, kPassedOver, kFailed };

// Copies the entry `source_name` of the open folder `source_folder`, a file or a
// symbolic link (copied as the link itself), to `target_name` in the open folder
// `target_folder`. `source_status` is the entry's own status (not followed); it
// may be null only for a regular file whose target the caller knows to be
// absent (`target_absent`: the caller has just created the target folder).
// A target that exists is replaced through a temporary file in the same folder,
// renamed over it once complete; a new file is written under its own name and
// gets the source's modification time only once its data is complete. On a
// failure nothing written is left behind and the message names both paths
// (`source_path`, `target_path`) and the reason.
CopyResult copy_entry(int source_folder, const char* source_name, const struct stat* source_status,
                      int target_folder, const char* target_name, bool target_absent,
                      const CopySettings& settings, const char* source_path,
                      const char* target_path);

// Gives the open target folder `folder` what it carries from the source folder:
// owner and group (keep_owner), permission bits (keep_mode; a folder the copy
// created gets the default bits otherwise) and times. Called once the folder's
// content is complete, as adding to it would change its modification time.
// Returns false after naming `path` and the reason.
bool finish_folder(int folder, const struct stat& source_status, bool created,
                   const CopySettings& settings, const char* path);

// The permission bits a new folder or file gets when the source's are not kept.
mode_t default_mode(bool folder);

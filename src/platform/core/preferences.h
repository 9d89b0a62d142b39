// Per-user preferences store: one GLib key file per application identifier,
// $XDG_CONFIG_HOME/<app id>/preferences.conf (~/.config when unset), group
// [Preferences], one key per preference ("Settings/AlwaysOnTop").
//
// Every write takes an exclusive flock on "preferences.conf.lock" beside the file,
// re-reads the file, changes one key and replaces the file atomically (AtomicFile: through
// a symbolic link to its target, keeping the file's permission bits) before returning. So
// two processes writing different keys lose none, and a crash at any moment leaves the old
// or the new file. Reads take no lock: the file is only ever replaced whole. A UTF-8
// byte-order mark at the start is accepted and not written back; a named pipe or other
// non-file in the file's place reads as empty and is moved aside by the next write.
//
// The location is worked out from the environment on every call (nothing cached), so
// tests can point it at a temporary folder.
// Thread: any.
#pragma once

#include <string>

namespace tw {

// The key file of `app_id` ("com.orvanesoft.tunewright"); empty when no folder can be
// named (neither $XDG_CONFIG_HOME nor $HOME set).
std::string PreferencesFilePath(const std::string& app_id);

// Answers whether the key is stored, and its value in `value`.
bool PreferencesGet(const std::string& app_id, const std::string& key, std::string* value);

// Stores the value (committed to disk on return); false when it could not be written.
bool PreferencesSet(const std::string& app_id, const std::string& key, const std::string& value);

// Removes the key (committed to disk on return); true also when it was not there.
bool PreferencesRemove(const std::string& app_id, const std::string& key);

}  // namespace tw

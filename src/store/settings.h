// The settings store: every persistent setting goes through these free functions.
//
// A setting is addressed by a section and a key and always holds a string; integers
// and booleans are strings in a fixed decimal form. Two back ends:
//   - the per-user preferences store (nearly everything), one preference per setting,
//     named section + "/" + key;
//   - the shared settings file "SharedSettings.xml" in the shared data folder.
//
// Nothing is cached: every read goes to the back end, every write is on disk before
// the call returns, so nothing needs saving at quit. Failures are silent and read back
// as the caller's default.
//
// Thread: main thread (the preferences store itself is also safe from other threads
// and other processes; the shared file is protected only by its advisory locks).
#pragma once

#include <cstddef>
#include <string>

namespace tw {

// Size of the caller's buffer for a value read back: at most 259 bytes plus the NUL.
inline constexpr std::size_t kSettingBufferSize = 260;

// Copies `def` into `out` (kSettingBufferSize bytes), then the stored value over it if
// the preferences store holds the key. Returns whether the key was found. A value too
// long is cut to 259 bytes before a multi-byte character that would not fit whole.
bool GetSetting(const char* section, const char* key, const char* def, char* out);

// The same, answered as a string (same 259-byte cut); convenient for C++ callers.
std::string GetSetting(const char* section, const char* key, const char* def = "");

// Stores the value and commits it to disk before returning.
void SetSetting(const char* section, const char* key, const char* value);

// Removes the key and commits at once.
void DeleteSetting(const char* section, const char* key);

// Integers: written with "%d"; read from the leading decimal digits ("12abc" -> 12,
// "abc" -> 0); an empty or missing value gives `def`.
int GetSettingInt(const char* section, const char* key, int def);
void SetSettingInt(const char* section, const char* key, int value);

// Booleans: written as "1" / "0"; read as true when the value is non-empty and its
// first character is not '0'; an empty or missing value gives `def`.
bool GetSettingBool(const char* section, const char* key, bool def);
void SetSettingBool(const char* section, const char* key, bool value);

// The integer read as above, then clamped: not above `low` -> `low`; below `high` ->
// the value; else `high`. The lower bound wins when the bounds cross.
int GetSettingIntInRange(const char* section, const char* key, int def, int low, int high);

// The shared settings file: element `section` at the top level, in it element `key`,
// its attribute "value". Missing file, section, key or attribute gives `def`. `out`
// holds kSettingBufferSize bytes; the value is cut at byte 259.
void GetSharedSetting(const char* section, const char* key, const char* def, char* out);
std::string GetSharedSetting(const char* section, const char* key, const char* def = "");

// Read-modify-write of the shared settings file; a file locked by another writer loses
// the value silently.
void SetSharedSetting(const char* section, const char* key, const char* value);

int GetSharedSettingInt(const char* section, const char* key, int def);
void SetSharedSettingInt(const char* section, const char* key, int value);

// The preference key for a section and key: "section/key", or "section" + "key" when
// the section already ends in "/"; limited to 519 bytes.
std::string JoinSettingKey(const char* section, const char* key);

}  // namespace tw

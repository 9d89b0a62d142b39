#include "store/settings.h"

#include <limits.h>
#include <string.h>

#include "platform/core/preferences.h"
#include "store/folders.h"
#include "store/xml.h"

namespace tw {

namespace {

constexpr char kApplicationId[] = "com.orvanesoft.tunewright";
constexpr std::size_t kMaxValue = kSettingBufferSize - 1;
constexpr std::size_t kMaxJoinedKey = 519;

// Copies at most 259 bytes; with `whole_chars` the cut falls before a UTF-8 sequence
// that would not fit whole.
void CopyValue(char* out, const char* src, bool whole_chars) {
    if (!out) return;
    if (!src) src = "";
    std::size_t n = strlen(src);
    if (n > kMaxValue) {
        n = kMaxValue;
        if (whole_chars) {
            while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) --n;
        }
    }
    memcpy(out, src, n);
    out[n] = '\0';
}

// Decimal from the leading characters: blanks, a sign, digits; no digits gives 0. Values
// beyond the int range saturate rather than wrap.
int ParseLeadingInt(const char* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    return static_cast<int>(v);
}

std::string FormatInt(int value) {
    return std::to_string(value);
}

const char* Str(const char* s) {
    return s ? s : "";
}

}  // namespace

std::string JoinSettingKey(const char* section, const char* key) {
    std::string joined = Str(section);
    if (joined.empty() || joined.back() != '/') joined.push_back('/');
    joined += Str(key);
    if (joined.size() > kMaxJoinedKey) joined.resize(kMaxJoinedKey);
    return joined;
}

bool GetSetting(const char* section, const char* key, const char* def, char* out) {
    CopyValue(out, def, true);
    std::string value;
    if (!PreferencesGet(kApplicationId, JoinSettingKey(section, key), &value)) return false;
    CopyValue(out, value.c_str(), true);
    return true;
}

std::string GetSetting(const char* section, const char* key, const char* def) {
    char buf[kSettingBufferSize];
    GetSetting(section, key, def, buf);
    return buf;
}

void SetSetting(const char* section, const char* key, const char* value) {
    PreferencesSet(kApplicationId, JoinSettingKey(section, key), Str(value));
}

void DeleteSetting(const char* section, const char* key) {
    PreferencesRemove(kApplicationId, JoinSettingKey(section, key));
}

int GetSettingInt(const char* section, const char* key, int def) {
    char buf[kSettingBufferSize];
    GetSetting(section, key, "", buf);
    return buf[0] ? ParseLeadingInt(buf) : def;
}

void SetSettingInt(const char* section, const char* key, int value) {
    SetSetting(section, key, FormatInt(value).c_str());
}

bool GetSettingBool(const char* section, const char* key, bool def) {
    char buf[kSettingBufferSize];
    GetSetting(section, key, "", buf);
    return buf[0] ? buf[0] != '0' : def;
}

void SetSettingBool(const char* section, const char* key, bool value) {
    SetSetting(section, key, value ? "1" : "0");
}

int GetSettingIntInRange(const char* section, const char* key, int def, int low, int high) {
    int v = GetSettingInt(section, key, def);
    if (v <= low) return low;
    if (v < high) return v;
    return high;
}

void GetSharedSetting(const char* section, const char* key, const char* def, char* out) {
    XmlNode doc;
    LoadFile(&doc, GetSharedSettingsPath().c_str(), nullptr);
    const XmlNode* sec = FindChild(&doc, Str(section));
    const XmlNode* item = sec ? FindChild(sec, Str(key)) : nullptr;
    if (item) {
        auto it = item->attributes.find("value");
        if (it != item->attributes.end()) {
            CopyValue(out, it->second.c_str(), false);
            return;
        }
    }
    CopyValue(out, def, false);
}

std::string GetSharedSetting(const char* section, const char* key, const char* def) {
    char buf[kSettingBufferSize];
    GetSharedSetting(section, key, def, buf);
    return buf;
}

void SetSharedSetting(const char* section, const char* key, const char* value) {
    const std::string path = GetSharedSettingsPath();
    XmlNode doc;
    LoadFile(&doc, path.c_str(), nullptr);  // whatever could be read is kept and rewritten
    XmlNode* sec = FindChild(&doc, Str(section));
    if (!sec) sec = AppendChild(&doc, NewElement(Str(section)));
    XmlNode* item = FindChild(sec, Str(key));
    if (!item) item = AppendChild(sec, NewElement(Str(key)));
    SetAttribute(item, "value", Str(value));
    SaveXmlFile(&doc, path.c_str());
}

int GetSharedSettingInt(const char* section, const char* key, int def) {
    char buf[kSettingBufferSize];
    GetSharedSetting(section, key, "", buf);
    return buf[0] ? ParseLeadingInt(buf) : def;
}

void SetSharedSettingInt(const char* section, const char* key, int value) {
    SetSharedSetting(section, key, FormatInt(value).c_str());
}

}  // namespace tw

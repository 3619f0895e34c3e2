#pragma once
// The saved-state dictionary: text keys mapping to whole numbers, texts or
// bytes, and its file form (an XML property list), read and written whole.
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace platform::cf {

using Bytes = std::vector<uint8_t>;

class PropertyDict {
public:
    using Value = std::variant<int64_t, std::string, Bytes>;

    void setInt(const std::string& key, int64_t v) { mItems[key] = v; }
    void setString(const std::string& key, std::string v) { mItems[key] = std::move(v); }
    void setData(const std::string& key, Bytes v) { mItems[key] = std::move(v); }

    bool has(const std::string& key) const { return mItems.count(key) != 0; }
    // Null when the key is missing or holds another kind of value.
    const int64_t* getInt(const std::string& key) const { return get<int64_t>(key); }
    const std::string* getString(const std::string& key) const { return get<std::string>(key); }
    const Bytes* getData(const std::string& key) const { return get<Bytes>(key); }

    void erase(const std::string& key) { mItems.erase(key); }
    void clear() { mItems.clear(); }
    size_t size() const { return mItems.size(); }
    const std::map<std::string, Value>& items() const { return mItems; }
    bool operator==(const PropertyDict& o) const { return mItems == o.mItems; }

private:
    template <class T>
    const T* get(const std::string& key) const {
        auto it = mItems.find(key);
        return it == mItems.end() ? nullptr : std::get_if<T>(&it->second);
    }

    std::map<std::string, Value> mItems;
};

// XML property list text of the dictionary: <integer>, <string> and <data>
// (base64) values under <key>s.
std::string writePropertyList(const PropertyDict& dict);
// False, with a reason, for text that is not such a list; `out` is then
// left as it was.
bool readPropertyList(const std::string& text, PropertyDict* out, std::string* error = nullptr);

bool writePropertyListFile(const std::string& path, const PropertyDict& dict, std::string* error = nullptr);
bool readPropertyListFile(const std::string& path, PropertyDict* out, std::string* error = nullptr);

// Four-character codes as the host files plug-ins: 'aumf' and the like.
constexpr uint32_t fourCC(const char (&c)[5]) {
    return (uint32_t(uint8_t(c[0])) << 24) | (uint32_t(uint8_t(c[1])) << 16) | (uint32_t(uint8_t(c[2])) << 8) |
           uint32_t(uint8_t(c[3]));
}

}  // namespace platform::cf

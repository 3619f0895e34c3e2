#include "shim/shim-ini.h"

#include "base/BASE_AssocArray.h"
#include "base/BASE_HeapBuf.h"
#include "base/BASE_Mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int kContextCount = 32;
// The temporary name is built from the path's first 1015 bytes; a longer path
// would give the temporary file of another path.
constexpr size_t kMaxPath = 1015;
constexpr size_t kMaxLine = 0x2000000;
// Bytes of lines read before giving up on a file with no section yet.
constexpr size_t kNoSectionLimit = 0x40000;
constexpr int kSectionKeyMax = 8191;

using KeyTable = BASE_StringKeyedArray<char*>;
using SectionTable = BASE_StringKeyedArray<KeyTable*>;

// What identifies one state of a file: a rewrite by another process within
// the same second and at the same size still differs in inode or nanoseconds.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    time_t mtimeSec = 0;
    long mtimeNsec = 0;
    off_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const struct stat& st) {
    return FileStamp{st.st_dev, st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_size};
}

FileStamp stampOfPath(const char* path) {
    struct stat st;
    if (!*path || stat(path, &st) != 0) return {};
    return stampOf(st);
}

struct iniFileContext {
    uint64_t stamp = 0;  // last use
    FileStamp disk;      // the file as last read or written by this cache
    std::string name;
    SectionTable sections{false, KeyTable::deleteStringKeyedArray};

    void drop() {
        sections.DeleteAll();
        name.clear();
        disk = {};
    }
};

BASE_Mutex m_mutex;
iniFileContext s_ctxs[kContextCount];
uint64_t acc_cnt = 0;
// Lines are gathered here; it grows in 4096-byte steps and is kept.
BASE_HeapBuf s_readBuf(4096);

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool hasLineBreak(const char* s) { return std::strpbrk(s, "\r\n") != nullptr; }

// ---- reading

// Parses lines into a context's sections. Keys of a section are gathered and
// put in order when the section ends; of a key given twice the last wins.
class Parser {
public:
    explicit Parser(SectionTable& sections) : sections_(sections) {}
    ~Parser() { endSection(); }

    // False once reading should stop: no section within the first bytes.
    bool line(char* s, size_t n) {
        consumed_ += n + 1;
        while (n > 0 && (isBlank(s[n - 1]) || s[n - 1] == '\r' || s[n - 1] == '\n')) --n;
        s[n] = 0;
        while (isBlank(*s)) ++s, --n;
        if (*s == '[') {
            char* close = std::strchr(s + 1, ']');
            if (close) {
                endSection();
                *close = 0;
                if (s[1]) {
                    current_ = new KeyTable(false, KeyTable::freecharptr);
                    // A header that occurs again starts its section afresh.
                    if (!sections_.Insert(s + 1, current_)) {
                        delete current_;
                        current_ = nullptr;
                    }
                    foundSection_ = true;
                }
            }
        } else if (current_) {
            char* eq = std::strchr(s, '=');
            if (eq && eq != s) {
                *eq = 0;
                pending_.emplace_back(std::string(s), std::string(eq + 1));
            }
        }
        return wantsMore(0);
    }

    // False while no section has turned up within the first bytes of lines.
    bool wantsMore(size_t pendingBytes) const { return foundSection_ || consumed_ + pendingBytes <= kNoSectionLimit; }

private:
    void endSection() {
        if (!current_) return;
        std::stable_sort(pending_.begin(), pending_.end(),
                         [](const auto& a, const auto& b) { return strcasecmp(a.first.c_str(), b.first.c_str()) < 0; });
        for (size_t i = 0; i < pending_.size(); ++i) {
            if (i + 1 < pending_.size() && strcasecmp(pending_[i].first.c_str(), pending_[i + 1].first.c_str()) == 0)
                continue;
            char* value = strdup(pending_[i].second.c_str());
            if (!value || !current_->AddUnsorted(pending_[i].first.c_str(), value)) std::free(value);
        }
        pending_.clear();
        current_ = nullptr;
    }

    SectionTable& sections_;
    KeyTable* current_ = nullptr;
    std::vector<std::pair<std::string, std::string>> pending_;
    size_t consumed_ = 0;
    bool foundSection_ = false;
};

// Reads an open file into the context's sections. A line longer than the
// limit is dropped whole rather than read as several.
void parseFile(int fd, SectionTable& sections) {
    Parser parser(sections);
    size_t lineLen = 0;
    bool overlong = false;
    auto append = [&](const char* p, size_t n) {
        if (overlong || lineLen + n > kMaxLine || !s_readBuf.ResizeOK(int(lineLen + n + 1), false)) {
            overlong = true;
            return;
        }
        std::memcpy(static_cast<char*>(s_readBuf.Get()) + lineLen, p, n);
        lineLen += n;
    };
    auto endLine = [&] {
        bool more = true;
        if (!overlong) {
            append("", 0);
            if (!overlong) more = parser.line(static_cast<char*>(s_readBuf.Get()), lineLen);
        }
        lineLen = 0;
        overlong = false;
        return more;
    };
    char chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (lineLen > 0) endLine();
            return;
        }
        for (const char *p = chunk, *end = chunk + got; p < end;) {
            auto nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            append(p, size_t((nl ? nl : end) - p));
            if (!parser.wantsMore(lineLen)) return;
            if (!nl) break;
            p = nl + 1;
            if (!endLine()) return;
        }
    }
}

void reload(iniFileContext& ctx, int fd) {
    ctx.sections.DeleteAll();
    struct stat st;
    ctx.disk = fstat(fd, &st) == 0 ? stampOf(st) : FileStamp{};
    parseFile(fd, ctx.sections);
}

int lockFile(int fd, int op) {
    int r;
    while ((r = flock(fd, op)) != 0 && errno == EINTR) {}
    return r;
}

// The file's context, current with the disk; null for a path not supported.
iniFileContext* GetFileContext(const char* file) {
    const std::string_view name = file ? file : "";
    if (!file || name.size() >= kMaxPath) return nullptr;
    uint64_t stamp = ++acc_cnt;
    iniFileContext* chosen = nullptr;
    for (auto& c : s_ctxs)
        if (c.name == name) chosen = &c;
    for (int i = 0; i < kContextCount && !chosen; ++i)
        if (s_ctxs[i].name.empty()) chosen = &s_ctxs[i];
    if (!chosen) {
        chosen = &s_ctxs[0];
        for (auto& c : s_ctxs)
            if (c.stamp < chosen->stamp) chosen = &c;
    }
    chosen->stamp = stamp;
    FileStamp now = stampOfPath(file);
    if (chosen->name == name && now == chosen->disk) return chosen;

    chosen->drop();
    chosen->name = file;
    int fd = open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return chosen;
    lockFile(fd, LOCK_SH);
    reload(*chosen, fd);
    lockFile(fd, LOCK_UN);
    close(fd);
    return chosen;
}

// ---- writing

bool writeAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = write(fd, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string serialize(const SectionTable& sections) {
    std::string out;
    const char* name = nullptr;
    for (int i = 0; KeyTable** keys = sections.Enumerate(i, &name); ++i) {
        out.append("[").append(name).append("]\n");
        const char* key = nullptr;
        for (int k = 0; char** value = (*keys)->Enumerate(k, &key); ++k)
            if (*key) out.append(key).append("=").append(*value).append("\n");
        out.append("\n");
    }
    return out;
}

std::string temporaryName(const std::string& file) {
    size_t slash = file.rfind('/');
    size_t base = slash == std::string::npos ? 0 : slash + 1;
    return file.substr(0, base) + "." + file.substr(base) + ".new";
}

// Writes the context under the lock of the file it replaces, so that two
// processes never write over each other's change. The lock belongs to the
// file at the path: when another writer renamed a new file there while this
// one waited, the lock is taken again on the new one.
bool writeBack(iniFileContext& ctx, const std::function<bool(iniFileContext&)>& change) {
    const std::string tmp = temporaryName(ctx.name);
    // A writer that keeps losing the race to a busy one retries; only a file
    // replaced again and again for this long counts as a failure.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = open(ctx.name.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        struct stat locked, atPath;
        if (lockFile(fd, LOCK_EX) != 0 || fstat(fd, &locked) != 0) {
            close(fd);
            return false;
        }
        if (stat(ctx.name.c_str(), &atPath) != 0 || atPath.st_dev != locked.st_dev || atPath.st_ino != locked.st_ino) {
            close(fd);
            continue;
        }
        // Another process wrote since this cache read: start from its file.
        if (stampOf(locked) != ctx.disk) {
            reload(ctx, fd);
            if (!change(ctx)) {
                close(fd);
                return true;
            }
        }
        bool ok = false;
        int out = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (out >= 0) {
            struct stat written;
            ok = fchmod(out, locked.st_mode & 07777) == 0 && writeAll(out, serialize(ctx.sections)) &&
                 fsync(out) == 0 && fstat(out, &written) == 0 && rename(tmp.c_str(), ctx.name.c_str()) == 0;
            if (ok) ctx.disk = stampOf(written);
            close(out);
            if (!ok) unlink(tmp.c_str());
        }
        close(fd);  // gives up the lock
        return ok;
    }
    return false;
}

// Applies a change to the file's context and writes the file when it changed.
// change() reports whether it changed anything; it may run twice, the second
// time on the file as another process left it.
BOOL commit(const char* file, const std::function<bool(iniFileContext&)>& change) {
    iniFileContext* ctx = GetFileContext(file);
    if (!ctx) return FALSE;
    if (!change(*ctx)) return TRUE;
    if (writeBack(*ctx, change)) return TRUE;
    // The disk did not take the change: forget it, so reads show the disk.
    ctx->drop();
    return FALSE;
}

bool validSection(const char* s) { return s && *s && !std::strchr(s, ']') && !hasLineBreak(s); }

bool validKey(const char* k) { return *k && !isBlank(*k) && *k != '[' && !std::strchr(k, '=') && !hasLineBreak(k); }

KeyTable* findSection(iniFileContext& ctx, const char* section) {
    KeyTable** keys = ctx.sections.GetPtr(section);
    return keys ? *keys : nullptr;
}

KeyTable* makeSection(iniFileContext& ctx, const char* section) {
    if (KeyTable* keys = findSection(ctx, section)) return keys;
    auto keys = new KeyTable(false, KeyTable::freecharptr);
    if (ctx.sections.Insert(section, keys)) return keys;
    delete keys;
    return nullptr;
}

// Leading and trailing blanks go, then one pair of matching quotes.
std::string_view cleanValue(const char* v) {
    while (isBlank(*v)) ++v;
    size_t n = std::strlen(v);
    while (n > 0 && isBlank(v[n - 1])) --n;
    if (n >= 2 && v[0] == v[n - 1] && (v[0] == '\'' || v[0] == '"')) return std::string_view(v + 1, n - 2);
    return std::string_view(v, n);
}

int copyOut(std::string_view s, char* buf, int size) {
    size_t n = std::min(s.size(), size_t(size - 1));
    std::memcpy(buf, s.data(), n);
    buf[n] = 0;
    return int(n);
}

// Names joined, each followed by a NUL, then two NULs after what fits.
int copyList(const std::vector<const char*>& names, char* buf, int size) {
    if (size < 2) {
        buf[0] = 0;
        return 0;
    }
    std::string joined;
    for (const char* n : names) joined.append(n).push_back('\0');
    size_t n = joined.empty() ? 0 : std::min(size_t(size - 2), joined.size() - 1);
    std::memcpy(buf, joined.data(), n);
    buf[n] = buf[n + 1] = 0;
    return int(n);
}

}  // namespace

int GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, int size,
                            const char* file) {
    if (!buf || size < 1) return 0;
    BASE_MutexLock hold(m_mutex);
    iniFileContext* ctx = GetFileContext(file);
    if (!section) {
        std::vector<const char*> names;
        const char* name = nullptr;
        for (int i = 0; ctx && ctx->sections.Enumerate(i, &name); ++i)
            if (*name) names.push_back(name);
        return copyList(names, buf, size);
    }
    KeyTable* keys = ctx ? findSection(*ctx, section) : nullptr;
    if (!key) {
        std::vector<const char*> names;
        const char* name = nullptr;
        for (int i = 0; keys && keys->Enumerate(i, &name); ++i) names.push_back(name);
        return copyList(names, buf, size);
    }
    char** value = keys ? keys->GetPtr(key) : nullptr;
    return copyOut(value ? cleanValue(*value) : std::string_view(def ? def : ""), buf, size);
}

int GetPrivateProfileInt(const char* section, const char* key, int def, const char* file) {
    char buf[512];
    if (GetPrivateProfileString(section, key, "", buf, sizeof buf, file) == 0) return def;
    int v = std::atoi(buf);
    return v != 0 || buf[0] == '0' ? v : def;
}

int GetPrivateProfileSection(const char* section, char* buf, int size, const char* file) {
    if (!buf || size < 1) return 0;
    if (size < 2) {
        buf[0] = 0;
        return 0;
    }
    BASE_MutexLock hold(m_mutex);
    iniFileContext* ctx = section ? GetFileContext(file) : nullptr;
    KeyTable* keys = ctx ? findSection(*ctx, section) : nullptr;
    std::string list;
    const char* key = nullptr;
    for (int i = 0; char** value = keys ? keys->Enumerate(i, &key) : nullptr; ++i)
        list.append(key).append("=").append(cleanValue(*value)).push_back('\0');
    if (list.size() <= size_t(size - 1)) {
        std::memcpy(buf, list.data(), list.size());
        buf[list.size()] = 0;
        if (list.empty()) buf[1] = 0;
        return int(list.size());
    }
    std::memcpy(buf, list.data(), size_t(size - 2));
    buf[size - 2] = buf[size - 1] = 0;
    return size - 2;
}

BOOL GetPrivateProfileStruct(const char* section, const char* key, void* buf, int size, const char* file) {
    if (!section || !key || !buf || size < 1 || size > (INT_MAX - 17) / 2) return FALSE;
    std::vector<char> text(size_t(size) * 2 + 17);
    int len = GetPrivateProfileString(section, key, "", text.data(), int(text.size()), file);
    if (len != size * 2 + 2) return FALSE;
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    auto out = static_cast<unsigned char*>(buf);
    unsigned sum = 0;
    for (int i = 0; i <= size; ++i) {
        int hi = hex(text[size_t(i) * 2]), lo = hex(text[size_t(i) * 2 + 1]);
        if (hi < 0 || lo < 0) return FALSE;
        unsigned byte = unsigned(hi * 16 + lo);
        if (i == size) return byte == (sum & 0xFF) ? TRUE : FALSE;
        out[i] = static_cast<unsigned char>(byte);
        sum += byte;
    }
    return FALSE;
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
    if (!validSection(section) || (key && !validKey(key))) return FALSE;
    if (value && (hasLineBreak(value) || std::strlen(key ? key : "") + 1 + std::strlen(value) > kMaxLine)) return FALSE;
    BASE_MutexLock hold(m_mutex);
    return commit(file, [&](iniFileContext& ctx) {
        if (!key) {
            if (!findSection(ctx, section)) return false;
            ctx.sections.Delete(section);
            return true;
        }
        if (!value) {
            KeyTable* keys = findSection(ctx, section);
            if (!keys || !keys->Exists(key)) return false;
            keys->Delete(key);
            return true;
        }
        KeyTable* keys = findSection(ctx, section);
        char** old = keys ? keys->GetPtr(key) : nullptr;
        if (old && std::strcmp(*old, value) == 0) return false;
        keys = makeSection(ctx, section);
        char* copy = strdup(value);
        if (!keys || !copy || !keys->Insert(key, copy)) {
            std::free(copy);
            return false;
        }
        return true;
    });
}

BOOL WritePrivateProfileSection(const char* section, const char* data, const char* file) {
    if (!validSection(section) || !file) return FALSE;
    std::vector<std::pair<std::string, std::string>> entries;
    for (const char* e = data; e && *e; e += std::strlen(e) + 1) {
        const char* eq = std::strchr(e, '=');
        if (!eq || eq == e) continue;
        std::string key(e, std::min(size_t(eq - e), size_t(kSectionKeyMax)));
        if (!validKey(key.c_str()) || hasLineBreak(eq + 1)) return FALSE;
        entries.emplace_back(std::move(key), std::string(eq + 1));
    }
    const bool empty = !data || !*data;
    BASE_MutexLock hold(m_mutex);
    return commit(file, [&](iniFileContext& ctx) {
        KeyTable* keys = findSection(ctx, section);
        if (!keys && empty) return false;
        if (keys)
            keys->DeleteAll();
        else if (!(keys = makeSection(ctx, section)))
            return false;
        for (const auto& [key, value] : entries) {
            char* copy = strdup(value.c_str());
            if (!copy || !keys->Insert(key.c_str(), copy)) std::free(copy);
        }
        return true;
    });
}

BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size, const char* file) {
    if (!key || !data) return WritePrivateProfileString(section, key, static_cast<const char*>(data), file);
    if (size < 0) return FALSE;
    auto bytes = static_cast<const unsigned char*>(data);
    std::string text;
    unsigned sum = 0;
    char pair[3];
    for (int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
        sum += bytes[i];
    }
    std::snprintf(pair, sizeof pair, "%02X", sum & 0xFF);
    text += pair;
    return WritePrivateProfileString(section, key, text.c_str(), file);
}

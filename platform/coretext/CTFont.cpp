// Finding faces by name through fontconfig, and the font objects over them.
#include "platform/coretext/CTFont.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "platform/coretext/CTFontFace.h"

namespace platform {
namespace {

struct FaceFile {
    std::string file;
    int index = 0;
    std::string postScriptName;
    std::string family;
    bool bold = false;
    bool italic = false;
};

struct Registry {
    std::mutex mutex;
    bool boxEngine = false;
    std::map<std::string, std::pair<bool, FaceFile>> found;                    // name -> installed face
    std::map<std::pair<std::string, long>, std::weak_ptr<ct::FontFace>> open;  // (file#index, size*64)
    std::set<std::string> fallbackLogged;
};

Registry& registry() {
    static Registry* r = new Registry;  // outlives every static font holder
    return *r;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(a.c_str()),
                              reinterpret_cast<const FcChar8*>(b.c_str())) == 0;
}

bool faceFromPattern(FcPattern* p, FaceFile* out) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch || !file) return false;
    FaceFile f;
    f.file = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(p, FC_INDEX, 0, &index) == FcResultMatch) f.index = index;
    FcChar8* s = nullptr;
    if (FcPatternGetString(p, FC_POSTSCRIPT_NAME, 0, &s) == FcResultMatch && s)
        f.postScriptName = reinterpret_cast<const char*>(s);
    if (FcPatternGetString(p, FC_FAMILY, 0, &s) == FcResultMatch && s) f.family = reinterpret_cast<const char*>(s);
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(p, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(p, FC_SLANT, 0, &slant);
    f.bold = weight >= FC_WEIGHT_BOLD;
    f.italic = slant != FC_SLANT_ROMAN;
    *out = std::move(f);
    return true;
}

// The first installed scalable face whose property equals the value.
bool listByProperty(const char* property, const std::string& value, FaceFile* out) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, property, reinterpret_cast<const FcChar8*>(value.c_str()));
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcObjectSet* os = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_POSTSCRIPT_NAME, FC_FAMILY, FC_WEIGHT, FC_SLANT,
                                       static_cast<char*>(nullptr));
    FcFontSet* set = FcFontList(nullptr, pat, os);
    bool ok = false;
    if (set) {
        for (int i = 0; i < set->nfont && !ok; ++i) ok = faceFromPattern(set->fonts[i], out);
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return ok;
}

// Best face of a family in a style; when requireFamily is set the match must
// belong to that family, otherwise anything fontconfig offers is taken.
bool matchFamily(const std::string& family, bool bold, bool italic, bool requireFamily, FaceFile* out) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    bool ok = false;
    if (match) {
        bool familyOk = !requireFamily;
        FcChar8* s = nullptr;
        for (int i = 0; !familyOk && FcPatternGetString(match, FC_FAMILY, i, &s) == FcResultMatch; ++i)
            familyOk = s && equalsIgnoreCase(reinterpret_cast<const char*>(s), family);
        ok = familyOk && faceFromPattern(match, out);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
    return ok;
}

// "Face Bold Italic" -> family "Face", bold, italic.
std::string splitStyle(const std::string& name, bool* bold, bool* italic) {
    std::vector<std::string> words;
    std::istringstream in(name);
    for (std::string w; in >> w;) words.push_back(w);
    *bold = *italic = false;
    while (words.size() > 1) {
        const std::string& w = words.back();
        if (equalsIgnoreCase(w, "Bold"))
            *bold = true;
        else if (equalsIgnoreCase(w, "Italic") || equalsIgnoreCase(w, "Oblique"))
            *italic = true;
        else if (!equalsIgnoreCase(w, "Regular"))
            break;
        words.pop_back();
    }
    std::string family;
    for (const auto& w : words) family += (family.empty() ? "" : " ") + w;
    return family;
}

bool findInstalledLocked(Registry& reg, const std::string& name, FaceFile* out) {
    auto it = reg.found.find(name);
    if (it != reg.found.end()) {
        if (it->second.first) *out = it->second.second;
        return it->second.first;
    }
    FaceFile f;
    bool ok = false;
    if (!name.empty() && FcInit()) {
        ok = listByProperty(FC_POSTSCRIPT_NAME, name, &f) || listByProperty(FC_FULLNAME, name, &f);
        if (!ok) {
            bool bold, italic;
            const std::string family = splitStyle(name, &bold, &italic);
            ok = !family.empty() && matchFamily(family, bold, italic, true, &f);
        }
    }
    reg.found[name] = {ok, f};
    if (ok) *out = f;
    return ok;
}

std::shared_ptr<ct::FontFace> openLocked(Registry& reg, const FaceFile& f, double size) {
    const auto key = std::make_pair(f.file + "#" + std::to_string(f.index), std::lround(size * 64));
    auto it = reg.open.find(key);
    if (it != reg.open.end())
        if (auto face = it->second.lock()) return face;
    ct::FaceInfo info;
    info.postScriptName = f.postScriptName;
    info.family = f.family;
    info.bold = f.bold;
    info.italic = f.italic;
    info.size = size;
    auto face = ct::openFreeTypeFace(f.file, f.index, std::move(info));
    if (face) reg.open[key] = face;
    return face;
}

CTFontRef wrap(std::shared_ptr<ct::FontFace> face) {
    if (!face) return nullptr;
    auto* font = new CTFont;
    font->face = std::move(face);
    return font;
}

bool usableSize(double size) { return std::isfinite(size) && size > 0; }

CTFontRef createFromFamily(const std::string& family, bool bold, bool italic, double size) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (reg.boxEngine) return wrap(ct::makeBoxFace(size, bold, italic));
    FaceFile f;
    if (!FcInit() ||
        !(matchFamily(family, bold, italic, true, &f) || matchFamily("monospace", bold, italic, false, &f)))
        return nullptr;
    return wrap(openLocked(reg, f, size));
}

}  // namespace

CTFontRef CTFontCreateWithName(const char* name, double size) {
    if (!name || !*name || !usableSize(size)) return nullptr;
    Registry& reg = registry();
    const std::string n(name);
    bool bold, italic;
    const std::string family = splitStyle(n, &bold, &italic);
    {
        std::lock_guard<std::mutex> lock(reg.mutex);
        if (reg.boxEngine) return wrap(ct::makeBoxFace(size, bold, italic));
        FaceFile f;
        if (findInstalledLocked(reg, n, &f)) {
            if (auto face = openLocked(reg, f, size)) return wrap(std::move(face));
        }
        if (reg.fallbackLogged.insert(family).second)
            std::fprintf(stderr, "coretext: font \"%s\" is not installed; using \"%s\" instead\n", family.c_str(),
                         kCTFallbackFamily);
    }
    return createFromFamily(kCTFallbackFamily, bold, italic, size);
}

CTFontRef CTFontCreateLabelFont(double size) {
    if (!usableSize(size)) return nullptr;
    return createFromFamily(kCTLabelFamily, false, false, size);
}

CTFontRef CTFontRetain(CTFontRef font) {
    if (font) font->refs.fetch_add(1, std::memory_order_relaxed);
    return font;
}

void CTFontRelease(CTFontRef font) {
    if (font && font->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete font;
}

double CTFontGetSize(CTFontRef font) { return font ? font->face->info().size : 0; }
double CTFontGetAscent(CTFontRef font) { return font ? font->face->info().ascent : 0; }
double CTFontGetDescent(CTFontRef font) { return font ? font->face->info().descent : 0; }
double CTFontGetLeading(CTFontRef font) { return font ? font->face->info().leading : 0; }
double CTFontGetCapHeight(CTFontRef font) { return font ? font->face->info().capHeight : 0; }
std::string CTFontCopyPostScriptName(CTFontRef font) { return font ? font->face->info().postScriptName : ""; }
std::string CTFontCopyFamilyName(CTFontRef font) { return font ? font->face->info().family : ""; }
bool CTFontIsBold(CTFontRef font) { return font && font->face->info().bold; }
bool CTFontIsItalic(CTFontRef font) { return font && font->face->info().italic; }

bool CTFontFindInstalled(const char* name, std::string* postScriptName) {
    if (!name || !*name) return false;
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    FaceFile f;
    if (!findInstalledLocked(reg, name, &f)) return false;
    if (postScriptName) *postScriptName = f.postScriptName;
    return true;
}

double CTFontGetAdvanceForCharacter(CTFontRef font, char32_t c) {
    if (!font || ct::isControl(c)) return 0;
    return font->face->advance(font->face->glyphFor(c));
}

void CTSetBoxFontEngine(bool on) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.boxEngine = on;
}

bool CTBoxFontEngineIsOn() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return reg.boxEngine;
}

}  // namespace platform

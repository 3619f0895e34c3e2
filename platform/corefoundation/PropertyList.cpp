#include <tinyxml2.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/BASE_RegularFile.h"
#include "platform/corefoundation/PropertyDict.h"

namespace platform::cf {

namespace {

// Far beyond any plug-in's state; a larger file is not a project.
constexpr size_t kMaxProjectFileBytes = size_t(256) << 20;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string encodeBase64(const Bytes& in) {
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4 + in.size() / 48 + 1);
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t n = uint32_t(in[i]) << 16;
        if (i + 1 < in.size()) n |= uint32_t(in[i + 1]) << 8;
        if (i + 2 < in.size()) n |= in[i + 2];
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < in.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < in.size() ? kAlphabet[n & 63] : '=';
        if ((i + 3) % 54 == 0 && i + 3 < in.size()) out += '\n';  // 72-column lines
    }
    return out;
}

bool decodeBase64(const char* text, Bytes* out) {
    out->clear();
    uint32_t acc = 0;
    int bits = 0, pad = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        char c = *p;
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        if (c == '=') {
            ++pad;
            continue;
        }
        const char* at = strchr(kAlphabet, c);
        if (!at || pad) return false;  // a stray character, or data after padding
        acc = (acc << 6) | uint32_t(at - kAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out->push_back(uint8_t((acc >> bits) & 0xFF));
        }
    }
    return pad <= 2 && bits < 6;  // a lone trailing character is not a byte
}

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

}  // namespace

std::string writePropertyList(const PropertyDict& dict) {
    tinyxml2::XMLDocument doc;
    doc.InsertEndChild(doc.NewDeclaration("xml version=\"1.0\" encoding=\"UTF-8\""));
    auto* plist = doc.NewElement("plist");
    plist->SetAttribute("version", "1.0");
    doc.InsertEndChild(plist);
    auto* d = plist->InsertNewChildElement("dict");
    for (const auto& [key, value] : dict.items()) {
        d->InsertNewChildElement("key")->SetText(key.c_str());
        if (auto* i = std::get_if<int64_t>(&value))
            d->InsertNewChildElement("integer")->SetText(std::to_string(*i).c_str());
        else if (auto* s = std::get_if<std::string>(&value))
            d->InsertNewChildElement("string")->SetText(s->c_str());
        else
            d->InsertNewChildElement("data")->SetText(encodeBase64(std::get<Bytes>(value)).c_str());
    }
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    return printer.CStr();
}

bool readPropertyList(const std::string& text, PropertyDict* out, std::string* error) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
        return fail(error, std::string("not XML: ") + doc.ErrorStr());
    const auto* plist = doc.FirstChildElement("plist");
    const auto* d = plist ? plist->FirstChildElement("dict") : nullptr;
    if (!d) return fail(error, "no <plist><dict>");
    PropertyDict result;
    for (const auto* k = d->FirstChildElement(); k; k = k->NextSiblingElement()) {
        if (strcmp(k->Name(), "key") != 0) return fail(error, std::string("expected <key>, found <") + k->Name() + ">");
        const auto* v = k->NextSiblingElement();
        if (!v) return fail(error, "a key without a value");
        std::string key = k->GetText() ? k->GetText() : "";
        const char* body = v->GetText() ? v->GetText() : "";
        if (strcmp(v->Name(), "integer") == 0) {
            char* end = nullptr;
            errno = 0;
            long long n = strtoll(body, &end, 10);
            if (errno || end == body || *end) return fail(error, "bad integer for \"" + key + "\"");
            result.setInt(key, n);
        } else if (strcmp(v->Name(), "string") == 0) {
            result.setString(key, body);
        } else if (strcmp(v->Name(), "data") == 0) {
            Bytes bytes;
            if (!decodeBase64(body, &bytes)) return fail(error, "bad data for \"" + key + "\"");
            result.setData(key, std::move(bytes));
        } else {
            return fail(error, std::string("unsupported value <") + v->Name() + "> for \"" + key + "\"");
        }
        k = v;
    }
    *out = std::move(result);
    return true;
}

bool writePropertyListFile(const std::string& path, const PropertyDict& dict, std::string* error) {
    // Written beside the target and renamed over it, so a failed write
    // never leaves half a project behind.
    std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f) return fail(error, "cannot write " + tmp);
        f << writePropertyList(dict);
        f.flush();
        if (!f) return fail(error, "cannot write " + tmp);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return fail(error, "cannot replace " + path);
    }
    return true;
}

bool readPropertyListFile(const std::string& path, PropertyDict* out, std::string* error) {
    std::string text;
    // Only a file: a pipe or a device named as the project would hold the host.
    if (!BASE_ReadRegularFile(path.c_str(), kMaxProjectFileBytes, text))
        return fail(error, "cannot read " + path + ": " + std::strerror(errno));
    return readPropertyList(text, out, error);
}

}  // namespace platform::cf

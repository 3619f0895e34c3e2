#pragma once
// Named pasteboards: ordered types, each with bytes once set. Declaring
// types replaces the contents. The contents live where the backend keeps
// them: in this process when headless, in X selections on a display (see
// X11Pasteboard.cpp), so that other programs read and write them too.
// A host and its plug-ins share them: this is the shared appkit library.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::appkit {

// The system's type for text: UTF-8 without a terminator.
inline constexpr const char* kPasteboardTypeString = "public.utf8-plain-text";
// The name of the pasteboard that copy and paste use.
inline constexpr const char* kGeneralPasteboard = "general";

using Bytes = std::vector<uint8_t>;

// What a backend stores the contents in. Calls come from the main thread.
class PasteboardStore {
public:
    virtual ~PasteboardStore() = default;
    virtual std::vector<std::string> types(const std::string& board) = 0;
    virtual void declare(const std::string& board, const std::vector<std::string>& types) = 0;
    // False for a type the pasteboard was not declared with.
    virtual bool set(const std::string& board, const std::string& type, Bytes bytes) = 0;
    virtual std::optional<Bytes> get(const std::string& board, const std::string& type) = 0;
};

// Contents kept in this process.
class InProcessPasteboards : public PasteboardStore {
public:
    std::vector<std::string> types(const std::string& board) override;
    void declare(const std::string& board, const std::vector<std::string>& types) override;
    bool set(const std::string& board, const std::string& type, Bytes bytes) override;
    std::optional<Bytes> get(const std::string& board, const std::string& type) override;

private:
    struct Board {
        std::vector<std::string> types;
        std::vector<std::optional<Bytes>> data;  // by type
    };
    std::vector<std::pair<std::string, Board>> boards_;
    Board& board(const std::string& name);
};

class Pasteboard {
public:
    static Pasteboard general() { return Pasteboard(kGeneralPasteboard); }
    static Pasteboard named(std::string name) { return Pasteboard(std::move(name)); }

    const std::string& name() const { return name_; }
    std::vector<std::string> types() const;
    void declareTypes(const std::vector<std::string>& types) const;
    bool setString(const std::string& utf8, const std::string& type = kPasteboardTypeString) const;
    bool setData(const Bytes& bytes, const std::string& type) const;
    std::optional<std::string> stringForType(const std::string& type = kPasteboardTypeString) const;
    std::optional<Bytes> dataForType(const std::string& type) const;

private:
    explicit Pasteboard(std::string name) : name_(std::move(name)) {}
    std::string name_;
};

}  // namespace platform::appkit

#pragma once
// Named pasteboards: ordered types, each with bytes once set. Declaring
// types replaces the contents. The contents live where the backend keeps
// them: in this process when headless, in X selections on a display (see
// X11Pasteboard.cpp), so that other programs read and write them too.
// A host and its plug-ins share them: this is the shared appkit library.
#include <chrono>
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

// The bounds of one paste from another program, which decides how fast and
// how much it answers. Past one, the paste gives nothing and says which.
inline constexpr std::chrono::milliseconds kPasteTimeLimit{2000};
inline constexpr size_t kPasteSizeLimit = size_t(64) << 20;  // bytes of one type's data
inline constexpr size_t kPasteTypesLimit = 1024;             // types an owner may list

enum class PasteFailure { NoFailure, TimedOut, TooLarge, TooManyTypes };

// One paste (the types, then the data): when it must be over, and why it
// gave nothing.
struct Paste {
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + kPasteTimeLimit;
    PasteFailure failure = PasteFailure::NoFailure;
};

// What a backend stores the contents in. Calls come from the main thread.
class PasteboardStore {
public:
    virtual ~PasteboardStore() = default;
    virtual std::vector<std::string> types(const std::string& board, Paste& paste) = 0;
    virtual void declare(const std::string& board, const std::vector<std::string>& types) = 0;
    // False for a type the pasteboard was not declared with.
    virtual bool set(const std::string& board, const std::string& type, Bytes bytes) = 0;
    virtual std::optional<Bytes> get(const std::string& board, const std::string& type, Paste& paste) = 0;
};

// Contents kept in this process.
class InProcessPasteboards : public PasteboardStore {
public:
    std::vector<std::string> types(const std::string& board, Paste& paste) override;
    void declare(const std::string& board, const std::vector<std::string>& types) override;
    bool set(const std::string& board, const std::string& type, Bytes bytes) override;
    std::optional<Bytes> get(const std::string& board, const std::string& type, Paste& paste) override;

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
    // A read is bounded by the paste it belongs to (by one of its own when
    // none is given); past a bound it gives nothing and sets the failure.
    std::vector<std::string> types(Paste* paste = nullptr) const;
    void declareTypes(const std::vector<std::string>& types) const;
    bool setString(const std::string& utf8, const std::string& type = kPasteboardTypeString) const;
    bool setData(Bytes bytes, const std::string& type) const;
    std::optional<std::string> stringForType(const std::string& type = kPasteboardTypeString,
                                             Paste* paste = nullptr) const;
    std::optional<Bytes> dataForType(const std::string& type, Paste* paste = nullptr) const;

private:
    explicit Pasteboard(std::string name) : name_(std::move(name)) {}
    std::string name_;
};

}  // namespace platform::appkit

#pragma once
// One plug-in parameter: its kind, plain value and range, the texts the host
// and the panel show for it, and the editor's MIDI binding hung on it.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// The editor's MIDI binding of a parameter. The parameter only carries the
// pointer; whoever hangs a record on it frees it.
struct ControlAction;

class IParam {
public:
    enum EParamType { kTypeNone = 0, kTypeBool, kTypeEnum, kTypeDouble, kTypeText };

    // Name, label and group live in fixed fields: 54 characters and the
    // terminator. Longer texts are cut.
    static constexpr int kTextFieldSize = 55;

    IParam();
    IParam(const IParam&) = delete;
    IParam& operator=(const IParam&) = delete;

    // Each Init keeps a type set before (so InitEnum after InitText stays a
    // text parameter) and sets value and default to the given default.
    void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "", int userInt1 = -1,
                  int userInt2 = -1);
    void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "", const char* group = "",
                  int userInt1 = -1, int userInt2 = -1);
    void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                    const char* label = "", const char* group = "", int userInt1 = -1, int userInt2 = -1);
    // Makes the parameter a text parameter; its text is display text 0.
    void InitText();

    EParamType Type() const { return mType; }

    // Plain value, always inside [min, max].
    double Value() const { return mValue.load(std::memory_order_relaxed); }
    int Int() const { return static_cast<int>(Value()); }
    bool Bool() const { return Value() >= 0.5; }
    void Set(double plain);
    double GetDefault() const { return mDefault; }
    double GetMin() const { return mMin; }
    double GetMax() const { return mMax; }
    double GetStep() const { return mStep; }
    int GetDecimals() const { return mDecimals; }
    void GetBounds(double& lo, double& hi) const {
        lo = mMin;
        hi = mMax;
    }

    // The value mapped to 0..1 by the range (0 for an empty range).
    double GetNormalized() const { return ToNormalized(Value()); }
    void SetNormalized(double normalized) { Set(FromNormalized(normalized)); }
    double ToNormalized(double plain) const;
    double FromNormalized(double normalized) const;

    const char* GetNameForHost() const { return mName; }
    const char* GetLabelForHost() const { return mLabel; }
    const char* GetParamGroupForHost() const { return mGroup; }
    int GetUserInt1() const { return mUserInt1; }
    int GetUserInt2() const { return mUserInt2; }

    // Display texts: entries of (integer value, text). A text may be set on
    // one thread while another draws it (a program's name): each change,
    // and each copy below, is made under the parameter's own lock. The
    // pointer GetDisplayText gives stays valid only until the entry changes.
    int GetNDisplayTexts() const;
    // The text registered for that value, or "".
    const char* GetDisplayText(int value) const;
    // The same, as a copy.
    std::string GetDisplayTextCopy(int value) const;
    // Entry `index` gets value `index` and the text. index == count appends
    // and raises the maximum to index; a larger or negative index is ignored.
    void SetDisplayText(int index, const char* text);
    // The entries become exactly these, value i for text i; an enum's range
    // follows (0 to the last, at least 1), the value kept inside it.
    void ReplaceDisplayTexts(const std::vector<std::string>& texts);
    // The entry's value and text by position; false when out of range.
    bool GetDisplayTextAtIdx(int idx, int* value, const char** text) const;
    // What the host and a caption show: the display text of the integer
    // value when there is one, else the value with its decimals.
    std::string GetDisplayForHost() const { return GetDisplayForHost(Value()); }
    std::string GetDisplayForHost(double plain) const;

    ControlAction* GetControlAction() const { return mAction; }
    void SetControlAction(ControlAction* action) { mAction = action; }

    // A meta parameter tells the host that changing it moves others.
    bool IsMeta() const { return mIsMeta; }
    void SetIsMeta(bool meta) { mIsMeta = meta; }

private:
    struct DisplayText {
        int value;
        std::string text;
    };

    void InitCommon(EParamType type, const char* name, const char* label, const char* group, int userInt1,
                    int userInt2);
    // Sets or appends an entry without touching the range; true on append.
    bool PutDisplayText(int index, const char* text);

    EParamType mType = kTypeNone;
    std::atomic<double> mValue{0.0};
    double mDefault = 0.0, mMin = 0.0, mMax = 1.0, mStep = 1.0;
    int mDecimals = 0;
    char mName[kTextFieldSize] = {};
    char mLabel[kTextFieldSize] = {};
    char mGroup[kTextFieldSize] = {};
    int mUserInt1 = -1, mUserInt2 = -1;
    mutable std::mutex mTextsLock;  // guards mDisplayTexts
    std::vector<DisplayText> mDisplayTexts;
    ControlAction* mAction = nullptr;
    bool mIsMeta = false;
};

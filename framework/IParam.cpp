#include "framework/IParam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void copyField(char (&dst)[IParam::kTextFieldSize], const char* src) {
    if (!src) src = "";
    size_t n = strnlen(src, IParam::kTextFieldSize - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

// Digits after the point that the step needs: none for a whole step.
int decimalsForStep(double step) {
    step = std::fabs(step);
    if (!std::isfinite(step)) return 0;
    double scaled = step;
    for (int d = 0; d < 6; ++d, scaled *= 10.0)
        if (std::fabs(scaled - std::round(scaled)) < 1e-9 * std::max(1.0, scaled)) return d;
    return 6;
}

}  // namespace

IParam::IParam() = default;

void IParam::InitCommon(EParamType type, const char* name, const char* label, const char* group, int userInt1,
                        int userInt2) {
    if (mType == kTypeNone) mType = type;
    copyField(mName, name);
    copyField(mLabel, label);
    copyField(mGroup, group);
    mUserInt1 = userInt1;
    mUserInt2 = userInt2;
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group, int userInt1,
                      int userInt2) {
    InitCommon(kTypeBool, name, label, group, userInt1, userInt2);
    mMin = 0.0;
    mMax = 1.0;
    mStep = 1.0;
    mDecimals = 0;
    mDefault = defaultVal ? 1.0 : 0.0;
    mValue.store(mDefault, std::memory_order_relaxed);
    PutDisplayText(0, "off");
    PutDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, const char* group, int userInt1,
                      int userInt2) {
    InitCommon(kTypeEnum, name, label, group, userInt1, userInt2);
    mMin = 0.0;
    mMax = std::max(nEnums - 1, 1);
    mStep = 1.0;
    mDecimals = 0;
    mDefault = defaultVal;
    mValue.store(mDefault, std::memory_order_relaxed);
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, const char* group, int userInt1, int userInt2) {
    InitCommon(kTypeDouble, name, label, group, userInt1, userInt2);
    mMin = minVal;
    mMax = std::max(maxVal, minVal + step);
    mStep = step;
    mDecimals = decimalsForStep(step);
    mDefault = defaultVal;
    mValue.store(mDefault, std::memory_order_relaxed);
}

void IParam::InitText() { mType = kTypeText; }

void IParam::Set(double plain) {
    // A garbage value (from a damaged chunk, say) must not stick.
    if (std::isnan(plain)) plain = mMin;
    mValue.store(std::clamp(plain, mMin, std::max(mMin, mMax)), std::memory_order_relaxed);
}

double IParam::ToNormalized(double plain) const {
    double range = mMax - mMin;
    if (!(range > 0.0)) return 0.0;
    return std::clamp((plain - mMin) / range, 0.0, 1.0);
}

double IParam::FromNormalized(double normalized) const {
    if (std::isnan(normalized)) normalized = 0.0;
    return mMin + std::clamp(normalized, 0.0, 1.0) * (mMax - mMin);
}

int IParam::GetNDisplayTexts() const {
    std::lock_guard<std::mutex> lock(mTextsLock);
    return static_cast<int>(mDisplayTexts.size());
}

const char* IParam::GetDisplayText(int value) const {
    std::lock_guard<std::mutex> lock(mTextsLock);
    for (const DisplayText& d : mDisplayTexts)
        if (d.value == value) return d.text.c_str();
    return "";
}

std::string IParam::GetDisplayTextCopy(int value) const {
    std::lock_guard<std::mutex> lock(mTextsLock);
    for (const DisplayText& d : mDisplayTexts)
        if (d.value == value) return d.text;
    return "";
}

bool IParam::PutDisplayText(int index, const char* text) {
    std::lock_guard<std::mutex> lock(mTextsLock);
    const int n = static_cast<int>(mDisplayTexts.size());
    if (index < 0 || index > n) return false;
    if (index == n)
        mDisplayTexts.push_back({index, text ? text : ""});
    else
        mDisplayTexts[index] = {index, text ? text : ""};
    return index == n;
}

void IParam::SetDisplayText(int index, const char* text) {
    if (PutDisplayText(index, text)) {
        mMax = index;
        if (Value() > mMax) Set(mMax);
    }
}

void IParam::ReplaceDisplayTexts(const std::vector<std::string>& texts) {
    {
        std::lock_guard<std::mutex> lock(mTextsLock);
        mDisplayTexts.clear();
        for (size_t i = 0; i < texts.size(); ++i) mDisplayTexts.push_back({static_cast<int>(i), texts[i]});
    }
    if (mType == kTypeEnum) {
        mMax = std::max(static_cast<int>(texts.size()) - 1, 1);
        Set(Value());
    }
}

bool IParam::GetDisplayTextAtIdx(int idx, int* value, const char** text) const {
    std::lock_guard<std::mutex> lock(mTextsLock);
    if (idx < 0 || idx >= static_cast<int>(mDisplayTexts.size())) return false;
    if (value) *value = mDisplayTexts[idx].value;
    if (text) *text = mDisplayTexts[idx].text.c_str();
    return true;
}

std::string IParam::GetDisplayForHost(double plain) const {
    std::string t = GetDisplayTextCopy(static_cast<int>(plain));
    if (!t.empty()) return t;
    char buf[64];
    snprintf(buf, sizeof buf, "%.*f", mDecimals, plain);
    return buf;
}

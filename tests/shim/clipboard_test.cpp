// The clipboard calls on the in-process pasteboards: which pasteboard gets
// what, the format list, handles in and out, and formats set twice.
#include "shim/shim-clipboard.h"

#include <gtest/gtest.h>

#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Pasteboard.h"
#include "support/RunProgram.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using platform::appkit::Pasteboard;
using Types = std::vector<std::string>;

HGLOBAL block(const std::string& bytes) {
    HGLOBAL h = GlobalAlloc(0, int(bytes.size()));
    std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

std::string bytesOf(HANDLE h) { return h ? std::string(static_cast<const char*>(h), size_t(GlobalSize(h))) : "<null>"; }

class Clipboard : public testing::Test {
protected:
    void SetUp() override {
        platform::appkit::Application::setBackend(std::make_unique<platform::appkit::HeadlessBackend>());
        Pasteboard::general().declareTypes({});
        Pasteboard::named("SHIM_APP").declareTypes({});
    }
    // One open-set-close round.
    void put(std::vector<std::pair<UINT, std::string>> items) {
        OpenClipboard(nullptr);
        EmptyClipboard();
        for (auto& [fmt, bytes] : items) SetClipboardData(fmt, block(bytes));
        CloseClipboard();
    }
    std::vector<UINT> listed() {
        std::vector<UINT> out;
        for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) out.push_back(f);
        return out;
    }

    UINT patch_ = RegisterClipboardFormat("Halvoran patch");
    UINT bank_ = RegisterClipboardFormat("Halvoran bank");
};

TEST_F(Clipboard, TextGoesToTheGeneralPasteboardAndBackWithATerminator) {
    const std::string text = "Grüße — ♪ Halvoran";
    put({{CF_TEXT, text + '\0' + "ignored"}});
    EXPECT_EQ(Pasteboard::general().stringForType(), text);
    OpenClipboard(nullptr);
    HANDLE h = GetClipboardData(CF_TEXT);
    EXPECT_EQ(bytesOf(h), text + '\0');
    CloseClipboard();
    // A block without a terminator is taken whole.
    put({{CF_TEXT, "abc"}});
    EXPECT_EQ(Pasteboard::general().stringForType(), "abc");
}

TEST_F(Clipboard, PrivateFormatsGoToTheirOwnPasteboardUnlessTextComesWithThem) {
    struct Case {
        std::vector<std::pair<UINT, std::string>> items;
        Types general, priv;
    } cases[] = {
        {{{patch_, "P"}}, {}, {"Halvoran patch"}},
        {{{patch_, "P"}, {CF_TEXT, "t"}}, {"Halvoran patch", "public.utf8-plain-text"}, {}},
        {{{patch_, "P"}, {999, "x"}, {bank_, "B"}}, {}, {"Halvoran patch", "Halvoran bank"}},
        {{{999, "x"}}, {}, {}},  // nothing registered: nothing written
    };
    for (const Case& c : cases) {
        SetUp();
        put(c.items);
        EXPECT_EQ(Pasteboard::general().types(), c.general);
        EXPECT_EQ(Pasteboard::named("SHIM_APP").types(), c.priv);
    }
    put({{bank_, std::string("B\0\xFF", 3)}, {patch_, "P"}});
    OpenClipboard(nullptr);
    EXPECT_EQ(listed(), (std::vector<UINT>{bank_, patch_}));
    EXPECT_EQ(bytesOf(GetClipboardData(bank_)), std::string("B\0\xFF", 3));
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_EQ(GetClipboardData(999), nullptr);
    EXPECT_EQ(EnumClipboardFormats(patch_), 0u);  // the last
    EXPECT_EQ(EnumClipboardFormats(999), 0u);
    CloseClipboard();
}

TEST_F(Clipboard, EmptyPrivatePasteboardListsNothing) {
    Pasteboard::named("SHIM_APP").declareTypes({"never registered"});
    OpenClipboard(nullptr);
    EXPECT_EQ(EnumClipboardFormats(0), 0u);
    CloseClipboard();
}

TEST_F(Clipboard, OpeningDropsWhatWasSetButNotClosed) {
    put({{patch_, "kept"}});
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(patch_, block("dropped"));
    OpenClipboard(nullptr);
    CloseClipboard();
    EXPECT_EQ(Pasteboard::named("SHIM_APP").dataForType("Halvoran patch"),
              platform::appkit::Bytes({'k', 'e', 'p', 't'}));
}

TEST_F(Clipboard, AFormatSetTwiceKeepsTheLastAndAHandleIsNeverOwnedTwice) {
    OpenClipboard(nullptr);
    SetClipboardData(patch_, block("first"));
    SetClipboardData(patch_, block("second"));
    HGLOBAL shared = block("both");
    SetClipboardData(bank_, shared);
    EXPECT_EQ(SetClipboardData(bank_, shared), shared);   // the same again: nothing changes
    EXPECT_NE(SetClipboardData(patch_, shared), shared);  // another format gets a copy
    CloseClipboard();
    OpenClipboard(nullptr);
    EXPECT_EQ(listed(), (std::vector<UINT>{patch_, bank_}));
    EXPECT_EQ(bytesOf(GetClipboardData(patch_)), "both");
    EXPECT_EQ(bytesOf(GetClipboardData(bank_)), "both");
    CloseClipboard();
}

TEST_F(Clipboard, FormatNumbersCountFromOneInOrderOfRegistration) {
    EXPECT_EQ(RegisterClipboardFormat("Halvoran patch"), patch_);
    EXPECT_EQ(RegisterClipboardFormat("public.utf8-plain-text"), CF_TEXT);  // the name of text's type
    EXPECT_EQ(RegisterClipboardFormat(nullptr), 0u);
    // A fresh process decides which number text gets.
    struct Case {
        const char* steps;
        const char* numbers;
    } cases[] = {{"open Patch", "1 2"}, {"Patch open", "1 2"}, {"open SHIM__CF_TEXT Patch Patch", "1 1 2 2"}};
    for (const Case& c : cases) {
        auto run = hvtest::runProgram(std::string(HV_SHIM_PEER) + " clip-numbers " + c.steps);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, std::string(c.numbers) + "\n") << c.steps;
    }
}

}  // namespace

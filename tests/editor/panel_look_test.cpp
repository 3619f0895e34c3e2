// The shipped panel as a musician reads it, at every size and in every skin:
// every value text, name and message fits its box whole and stands out from
// what is behind it; the display says what a change did and keeps what it
// said; centre-zero values are signed; COMMON stays clear of the cancel
// button laid over the panel during a transfer.
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/IGraphicsRaster.h"
#include "framework/IParam.h"
#include "panel_model.h"
#include "raster/RAST_Bitmap.h"
#include "src/ControlDisplay.h"
#include "src/Halvoran.h"
#include "src/LibrarianViewControl.h"
#include "src/PanelLayers.h"
#include "src/StatusText.h"
#include "support/JackServer.h"
#include "support/Regex.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kSizes[] = {"small", "normal", "large"};
const char* const kSkins[] = {"legacy", "s-model", "platinum"};

struct LookEditor {
    hvtest::TempDataDir data;
    std::unique_ptr<Halvoran> plug;
    IGraphics* g = nullptr;

    LookEditor(int size, int skin) {
        hvtest::JackServer::shared();
        data.write("Halvoran UI.txt", std::string(kSizes[size]) + "\n" + kSkins[skin] + "\nfirst run: no\n");
        hvpanel::BuiltBundle bundle;
        plug = std::make_unique<Halvoran>(IUnitInstanceInfo{});
        g = plug->GetGUI();
    }

    void showPage(int tab) {
        plug->GetParam(kMainTab)->Set(tab);
        plug->OnParamChange(kMainTab);
        draw();
    }
    void draw() {
        IRECT all(0, 0, g->Width(), g->Height());
        g->Draw(&all);
    }

    uint32_t pixel(int x, int y) const {
        RAST_IBitmap* s = g->GetDrawBitmap();
        const int row = s->isFlipped() ? s->getHeight() - 1 - y : y;
        const unsigned int p = s->getBits()[row * s->getRowSpan() + x];
        return ((p >> 8) & 255) << 16 | ((p >> 16) & 255) << 8 | (p >> 24);
    }

    // What the box's text stands on: the pixel of median lightness (the
    // text's own pixels are the fewer, and panels shade their fields).
    uint32_t backgroundOf(const IRECT& r) const {
        std::vector<std::pair<double, uint32_t>> px;
        for (int y = std::max(r.T, 0); y < std::min(r.B, g->Height()); ++y)
            for (int x = std::max(r.L, 0); x < std::min(r.R, g->Width()); ++x) {
                const uint32_t c = pixel(x, y);
                px.push_back({0.3 * (c >> 16) + 0.59 * ((c >> 8) & 255) + 0.11 * (c & 255), c});
            }
        if (px.empty()) return 0;
        std::nth_element(px.begin(), px.begin() + px.size() / 2, px.end());
        return px[px.size() / 2].second;
    }

    // Every text control that is shown, in its layer or on the panel.
    void eachShownText(const std::function<void(ITextControl*)>& visit) {
        std::function<void(ControlLayer*)> walk = [&](ControlLayer* l) {
            if (!l->IsVisible()) return;
            for (IControl* c : l->GetControls())
                if (auto* t = dynamic_cast<ITextControl*>(c); t && !c->IsHidden()) visit(t);
            for (ControlLayer* sub : l->GetSubLayers()) walk(sub);
        };
        for (int i = 0; i < g->NControls(); ++i)
            if (auto* t = dynamic_cast<ITextControl*>(g->GetControl(i)); t && !t->IsHidden()) visit(t);
        for (int i = 0; i < g->NLayers(); ++i) walk(g->GetLayer(i));
    }
};

double luminance(uint32_t rgb) {
    auto lin = [](int c) {
        double s = c / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin((rgb >> 16) & 255) + 0.7152 * lin((rgb >> 8) & 255) + 0.0722 * lin(rgb & 255);
}

double contrast(uint32_t a, uint32_t b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A text colour as it shows over a background (its alpha mixes them).
uint32_t shown(const IColor& c, uint32_t bg) {
    auto mix = [&](int fg, int b) { return (fg * c.A + b * (255 - c.A)) / 255; };
    return uint32_t(mix(c.R, (bg >> 16) & 255)) << 16 | uint32_t(mix(c.G, (bg >> 8) & 255)) << 8 |
           uint32_t(mix(c.B, bg & 255));
}

// What a text control can come to show: every value of its parameter for a
// menu, else what it shows now.
std::vector<std::string> textsOf(ITextControl* t) {
    std::vector<std::string> out;
    IParam* p = t->GetParam();
    if (dynamic_cast<ICaptionControl*>(t) && p && p->Type() == IParam::kTypeEnum)
        for (int i = 0; i < p->GetNDisplayTexts(); ++i) {
            int v = 0;
            const char* s = nullptr;
            if (p->GetDisplayTextAtIdx(i, &v, &s) && s && *s) out.push_back(s);
        }
    if (out.empty() && !t->GetTextString().empty()) out.push_back(t->GetTextString());
    return out;
}

}  // namespace

TEST(PanelLook, EveryTextFitsWholeAndStandsOutOnEverySizeAndSkin) {
    for (int size = 0; size < 3; ++size)
        for (int skin = 0; skin < 3; ++skin) {
            LookEditor e(size, skin);
            for (int tab = 0; tab < PanelLayers::kNumTabs; ++tab) {
                e.showPage(tab);
                const std::string where =
                    std::string(kSizes[size]) + "/" + kSkins[skin] + " page " + std::to_string(tab) + ": ";
                int checked = 0;
                e.eachShownText([&](ITextControl* t) {
                    IText* style = t->GetText();
                    if (style->mColor.A == 0) return;  // drawn by no one
                    const IRECT& r = t->GetRECTRef();
                    for (const std::string& s : textsOf(t)) {
                        int width = 0;
                        const int fitted = e.g->FitText(style, s.c_str(), r.W(), r.H(), &width);
                        EXPECT_LE(width, r.W()) << where << "\"" << s << "\" is cut";
                        // Still read without effort: no smaller than two thirds
                        // of the size the panel asks for.
                        EXPECT_GE(fitted * 3, style->mSize * 2) << where << "\"" << s << "\" shrinks to " << fitted;
                        ++checked;
                    }
                    if (t->GetTextString().empty()) return;
                    const uint32_t bg = e.backgroundOf(r);
                    EXPECT_GE(contrast(shown(style->mColor, bg), bg), 4.5)
                        << where << "\"" << t->GetTextString() << "\" on " << std::hex << bg << std::dec << " at "
                        << r.L << "," << r.T << "," << r.R << "," << r.B;
                });
                EXPECT_GT(checked, 3) << where;
            }
        }
}

namespace {

// Every text the editor's code hands to the display's status line: the
// string literals of each setStatusText call, and of the constants it names.
std::vector<std::string> statusLiterals() {
    std::vector<std::string> out;
    const std::regex literal("\"((?:[^\"\\\\]|\\\\.)*)\""), named("k[A-Z]\\w*");
    for (const auto& entry : std::filesystem::directory_iterator(std::string(HV_SOURCE_DIR) + "/src")) {
        if (entry.path().extension() != ".cpp") continue;
        std::ifstream in(entry.path());
        const std::string code((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::map<std::string, std::string> constants;
        const std::regex constant("constexpr const char\\* (k\\w+) = \"([^\"]*)\";");
        for (std::sregex_iterator m(code.begin(), code.end(), constant), none; m != none; ++m)
            constants[(*m)[1]] = (*m)[2];
        for (size_t at = code.find("StatusText("); at != std::string::npos; at = code.find("StatusText(", at + 1)) {
            // The call's arguments, up to its closing bracket.
            size_t end = at + 11;
            for (int depth = 1; end < code.size() && depth > 0; ++end)
                depth += code[end] == '(' ? 1 : code[end] == ')' ? -1 : 0;
            const std::string args = code.substr(at + 11, end - at - 12);
            for (std::sregex_iterator m(args.begin(), args.end(), literal), none; m != none; ++m)
                out.push_back(std::regex_replace((*m)[1].str(), std::regex("\\\\\""), "\""));
            for (std::sregex_iterator m(args.begin(), args.end(), named), none; m != none; ++m)
                if (constants.count((*m)[0])) out.push_back(constants[(*m)[0]]);
        }
    }
    return out;
}

}  // namespace

TEST(PanelLook, EveryStatusAndPortNameReadsWholeOnEverySize) {
    // What the display shows besides: a control's name and value, the
    // version, and the longest a status that names the user's things grows.
    std::vector<std::string> messages = statusLiterals();
    ASSERT_GT(messages.size(), 40u);
    for (const char* m : {"[2] Filter KBD Track  Filter KBD Track", "Brem Halvoran Plug-in   04-Feb-2020"})
        messages.push_back(m);
    messages.push_back(std::string(kStatusRoom, 'W'));
    const char* const ports[] = {"Midi Through:Midi Through Port-0 14:0", "system:midi_capture_1"};
    for (int size = 0; size < 3; ++size) {
        LookEditor e(size, 0);
        for (int i = 0; i < kNumParams && size == 0; ++i) messages.push_back(e.plug->GetParam(i)->GetNameForHost());
        ITextControl* status = e.plug->statusTextControl;
        ASSERT_TRUE(status);
        const IRECT& r = status->GetRECTRef();
        const int legible = status->GetText()->mSize * 2 / 3;
        for (const std::string& m : messages) {
            int width = 0;
            const int fitted = e.g->FitText(status->GetText(), m.c_str(), r.W(), r.H(), &width);
            EXPECT_LE(width, r.W()) << kSizes[size] << ": \"" << m << "\" is cut";
            EXPECT_GE(fitted, legible) << kSizes[size] << ": \"" << m << "\"";
        }
        // A port's name too long for its box at a size still read is cut in
        // its middle: both ends, which tell ports apart, show.
        for (int param : {kDeviceInSelection, kDeviceOutSelection})
            for (const char* port : ports) {
                IControl* box = e.plug->firstBoundControl(param);
                ASSERT_TRUE(box);
                const hvraster::FittedText fit =
                    hvraster::FitText(e.g, box->GetText(), port, box->GetRECTRef().W(), box->GetRECTRef().H());
                EXPECT_GE(fit.size, box->GetText()->mSize * 2 / 3) << kSizes[size] << ": " << port;
                const std::string shown = fit.cut.empty() ? port : fit.cut;
                EXPECT_EQ(shown.substr(0, 4), std::string(port).substr(0, 4)) << kSizes[size] << ": " << shown;
                EXPECT_EQ(shown.substr(shown.size() - 2), std::string(port).substr(std::strlen(port) - 2)) << shown;
            }
    }
}

TEST(PanelLook, TheCancelButtonOverTheProgramLeavesCommonsControlsFree) {
    for (int size = 0; size < 3; ++size) {
        LookEditor e(size, 0);
        ControlLayer* cancel = nullptr;
        for (int i = 0; i < e.g->NLayers(); ++i)
            if (e.g->GetLayer(i)->GetName() == PanelLayers::kCancelRequestLayer) cancel = e.g->GetLayer(i);
        ASSERT_TRUE(cancel && !cancel->GetControls().empty());
        const IRECT button = cancel->GetControls().front()->GetRECTRef();
        for (int param : {kCommonMode, kOctaveShift}) {
            IControl* menu = e.plug->firstBoundControl(param);
            ASSERT_TRUE(menu);
            // The menu and the caption above it.
            IRECT r = menu->GetRECTRef();
            r.T -= static_cast<int>(16 * e.g->GetScale());
            EXPECT_FALSE(r.Intersects(&button)) << kSizes[size] << " " << param;
        }
    }
}

TEST(PanelLook, TheDisplayTellsWhatAChangeDidAndKeepsItsOwnMessage) {
    LookEditor e(1, 0);
    Halvoran& h = *e.plug;
    ASSERT_FALSE(h.midiOutReady);
    auto change = [&](int param, double plain) {
        h.GetParam(param)->Set(plain);
        h.OnParamChange(param);
    };
    auto status = [&] { return h.statusTextControl->GetTextString(); };
    auto value = [&] { return h.valueTextControl->GetTextString(); };

    // Without a port only what would send asks for one; the rest shows itself.
    change(kMainTab, 1);
    EXPECT_EQ(status(), "Main Tab");
    change(kTimbreSelect, 1);
    EXPECT_NE(status(), "Set MIDI I/O First!");
    change(kFilterCutoff, 90);
    EXPECT_EQ(status(), "Set MIDI I/O First!");

    // A search without a result says so, and the box shows its hint again.
    h.GetParam(kPatchSearchString)->SetDisplayText(0, "no such program anywhere");
    h.OnParamChange(kPatchSearchString);
    EXPECT_EQ(status(), "No results - Try another keyword!");
    EXPECT_EQ(value(), "Tip: Note that letter size matters..");
    EXPECT_STREQ(h.GetParam(kPatchSearchString)->GetDisplayText(0), "search...");

    // A new skin or size is written down and said to show at the next start.
    change(kUserInterfaceSkin, 2);
    EXPECT_EQ(status(), "Skin changes at next start");
    change(kUserInterfaceSize, 2);
    EXPECT_EQ(status(), "Size changes at next start");
    std::ifstream settings((e.data.path() / "Halvoran UI.txt").string());
    std::string size, skin;
    std::getline(settings, size);
    std::getline(settings, skin);
    EXPECT_EQ(size, "large");
    EXPECT_EQ(skin, "platinum");
    // A settings file that cannot be written is not reported as saved.
    std::remove(((e.data.path() / "Halvoran UI.txt").string()).c_str());
    std::filesystem::create_directory(e.data.path() / "Halvoran UI.txt");
    change(kUserInterfaceSkin, 1);
    EXPECT_EQ(status(), "Settings file not saved!");
}

TEST(PanelLook, CentreZeroValuesShowSignedAsOnTheInstrument) {
    LookEditor e(1, 0);
    Halvoran& h = *e.plug;
    struct Case {
        int param;
        double plain;
        const char* shown;
    } cases[] = {
        {kAmpPan, 64, "CNT"},
        {kAmpPan, 66, "R2"},
        {kAmpPan + 1, 0, "L64"},
        {kFilterEGIntensity, 0, "-64"},
        {kFilterEGIntensity, 127, "+63"},
        {kVPatchAmnt3 + 1, 64, "0"},
        {kTimbreTune, 50, "0"},
        {kTimbreTune + 1, 100, "+50"},
        {kTimbreTranspose, 0, "-24"},
        {kEQLowGain, 13, "+1"},
        {kArpSwing, 100, "0"},
        {kSeq3Step16 + 1, 70, "+6"},
        {kSeq1Step1, 63, "-1"},
        {kOsc2Semitone, 40, "-24"},
        // The global page's knobs: tune and transposition signed, the rest plain.
        {kMasterTranspose, 0, "-12"},
        {kMasterTranspose, 12, "0"},
        {kMasterTranspose, 13, "+1"},
        {kMasterTune, 50, "0"},
        {kMasterTune, 37, "-13"},
        {kGlobalMIDI2Ctrl, 7, "7"},
    };
    // The display a turn shows (with no port chosen, the turn itself then
    // says "Set MIDI I/O First!" on the row instead).
    for (const Case& c : cases) {
        h.GetParam(c.param)->Set(c.plain);
        ControlDisplay::controlDisplay(&h, c.param, c.plain);
        EXPECT_EQ(h.valueTextControl->GetTextString(), c.shown) << c.param << " at " << c.plain;
    }
}

TEST(PanelLook, BankArrowsLocksAndSlotNumbersReadOnEverySizeAndSkin) {
    for (int size = 0; size < 3; ++size)
        for (int skin = 0; skin < 3; ++skin) {
            LookEditor e(size, skin);
            const std::string where = std::string(kSizes[size]) + "/" + kSkins[skin] + ": ";
            // Pixels of r that stand out from bg as a glyph must.
            auto ink = [&](const IRECT& r, uint32_t bg, int column = -1) {
                int n = 0;
                for (int y = r.T; y < r.B; ++y)
                    for (int x = column < 0 ? r.L : column; x < (column < 0 ? r.R : column + 1); ++x)
                        n += contrast(e.pixel(x, y), bg) >= 3.0;
                return n;
            };
            LibrarianViewControl* view = e.plug->librarianView;
            ASSERT_TRUE(view) << where;
            e.showPage(PanelLayers::kTabLibrarian);
            for (int i = 96; i < LibrarianViewControl::kSlots; ++i)
                view->slot(LibrarianViewControl::kUpperPane, i)->SetTextFromPlug("WWWWWWWWWWWW");
            e.draw();
            for (int param : {kLibUpperPreviousBank, kLibUpperNextBank, kLibLowerPreviousBank, kLibLowerNextBank}) {
                const IRECT& r = e.plug->firstBoundControl(param)->GetRECTRef();
                EXPECT_GE(ink(r, e.backgroundOf(r)), 6) << where << "no arrow on " << param;
            }
            // Slots 100 to 128: a clear column between the number and the name.
            for (int i = 99; i < LibrarianViewControl::kSlots; ++i) {
                const IRECT& r = view->slotRect(LibrarianViewControl::kUpperPane, i);
                const uint32_t bg = e.backgroundOf(r);
                int numberEnd = r.L - 12, nameStart = r.L + 12;
                for (int x = r.L - 12; x < r.L + 2; ++x)
                    if (ink(r, bg, x)) numberEnd = x;
                for (int x = r.L + 12; x > numberEnd; --x)
                    if (ink(r, bg, x)) nameStart = x;
                EXPECT_GE(nameStart - numberEnd - 1, 3) << where << "slot " << i + 1;
            }
            // An open lock reads against the panel around it.
            e.showPage(PanelLayers::kTabProgram);
            for (int param : {kSectionLockOsc1, kSectionLockFilter, kSectionLockCommon}) {
                IControl* lock = e.plug->firstBoundControl(param);
                ASSERT_TRUE(lock && lock->GetValue() == 0.0) << where << param;
                const IRECT& r = lock->GetRECTRef();
                const IRECT around(r.L - r.W(), r.T - r.H() / 2, r.R + r.W(), r.B + r.H() / 2);
                // The padlock stands out from its disc, or the whole from the panel.
                const int marks = std::max(ink(r, e.backgroundOf(r)), ink(r, e.backgroundOf(around)));
                EXPECT_GE(marks, r.W() * r.H() / 8) << where << "lock " << param;
            }
        }
}

// The librarian page's texts as drawn: each stands out from what is behind
// it, drawn at a size that is read without effort, and program names of 12
// or 13 characters show whole in their slots.
TEST(PanelLook, TheLibrarianPageReadsWholeOnEverySizeAndSkin) {
    tinyxml2::XMLDocument sections;
    ASSERT_EQ(sections.LoadFile(hvpanel::sourcePath("panel-sections.xml").c_str()), tinyxml2::XML_SUCCESS);
    for (int size = 0; size < 3; ++size)
        for (int skin = 0; skin < 3; ++skin) {
            LookEditor e(size, skin);
            const std::string where = std::string(kSizes[size]) + "/" + kSkins[skin] + ": ";
            const double s = e.g->GetScale();
            auto scaled = [s](int x, int y, int w, int h) {
                return IRECT(int(x * s), int(y * s), int((x + w) * s), int((y + h) * s));
            };
            // The pixel that stands out most from the box's background.
            auto inkContrast = [&](const IRECT& r) {
                const uint32_t bg = e.backgroundOf(r);
                double most = 1.0;
                for (int y = r.T; y < r.B; ++y)
                    for (int x = r.L; x < r.R; ++x) most = std::max(most, contrast(e.pixel(x, y), bg));
                return most;
            };
            // The box around what stands out from r's background.
            auto inked = [&](const IRECT& r) {
                const uint32_t bg = e.backgroundOf(r);
                IRECT ink(r.R, r.B, r.L, r.T);
                for (int y = r.T; y < r.B; ++y)
                    for (int x = r.L; x < r.R; ++x)
                        if (contrast(e.pixel(x, y), bg) >= 2.0)
                            ink = IRECT(std::min(ink.L, x), std::min(ink.T, y), std::max(ink.R, x + 1),
                                        std::max(ink.B, y + 1));
                return ink;
            };

            LibrarianViewControl* view = e.plug->librarianView;
            ASSERT_TRUE(view) << where;
            e.showPage(PanelLayers::kTabLibrarian);
            const char* const names[] = {"WWWWWWWWWWWW", "Warm Pad 012", "Bright Lead 13"};
            for (int pane = 0; pane < 2; ++pane)
                for (int i = 0; i < LibrarianViewControl::kSlots; ++i)
                    view->slot(pane, i)->SetTextFromPlug(std::string(names[i % 3]).substr(0, 13).c_str());
            view->selectedUpper = 0;
            e.plug->setStatusText("No results - Try another keyword!");
            e.plug->setValueText("Tip: Note that letter size matters..");
            e.draw();

            // Every text control with a text, the slots' names among them.
            std::vector<ITextControl*> texts;
            e.eachShownText([&](ITextControl* t) {
                if (!t->GetTextString().empty() && t->GetText()->mColor.A) texts.push_back(t);
            });
            for (int pane = 0; pane < 2; ++pane)
                for (int i = 0; i < LibrarianViewControl::kSlots; ++i) texts.push_back(view->slot(pane, i));
            for (ITextControl* t : texts)
                EXPECT_GE(inkContrast(t->GetRECTRef()), 4.5) << where << "\"" << t->GetTextString() << "\"";
            // A name ends inside its slot, clear of its right edge, unshrunk.
            for (int i = 0; i < LibrarianViewControl::kSlots; ++i) {
                const IRECT& r = view->slot(LibrarianViewControl::kUpperPane, i)->GetRECTRef();
                const IRECT ink = inked(r);
                EXPECT_LT(ink.R, r.R) << where << "slot " << i + 1 << " runs out of its slot";
                EXPECT_GT(ink.R, r.L + r.W() * 3 / 4) << where << "slot " << i + 1 << " shrinks";
            }
            // The slot numbers, printed in the panes' gutters.
            for (int pane = 0; pane < 2; ++pane)
                for (int i = 0; i < LibrarianViewControl::kSlots; ++i) {
                    const IRECT& r = view->slotRect(pane, i);
                    EXPECT_GE(inkContrast(IRECT(r.L - int(28 * s), r.T, r.L - 1, r.B)), 4.5)
                        << where << "number of slot " << i + 1;
                }
            // The labels the page prints.
            for (auto* bg = sections.RootElement()->FirstChildElement("background"); bg;
                 bg = bg->NextSiblingElement("background")) {
                const std::string image = bg->Attribute("image");
                if (image != "MANAGER_BG_ID2" && image != "BG_ID_BROWSER") continue;
                for (auto* label = bg->FirstChildElement("label"); label; label = label->NextSiblingElement("label")) {
                    int b[4] = {};
                    std::sscanf(label->Attribute("bounds"), "%d,%d,%d,%d", &b[0], &b[1], &b[2], &b[3]);
                    EXPECT_GE(inkContrast(scaled(b[0], b[1], b[2], b[3])), 4.5) << where << label->Attribute("label");
                }
            }
            // A message beside a hint too long for the line is drawn as large
            // as it is alone.
            ITextControl* status = e.plug->statusTextControl;
            const int besideHint = inked(status->GetRECTRef()).H();
            e.plug->setValueText("");
            e.draw();
            EXPECT_GE(besideHint + 1, inked(status->GetRECTRef()).H()) << where;

            // During a transfer the veil dims the page, not the display.
            e.plug->setStatusText("Please wait! Writing.. 3%");
            e.plug->hideLayer(PanelLayers::kProgressOverlay, false);
            e.draw();
            EXPECT_GE(inkContrast(status->GetRECTRef()), 4.5) << where << "under the veil";
        }
}

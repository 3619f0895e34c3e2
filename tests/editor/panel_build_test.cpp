// The editor builds the shipped panel at every size and in every skin: no
// name of the description or its images is missing, every program and global
// parameter has its control, parameters start at the description's defaults,
// and a message from the instrument finds its control for both timbres
// through the lookups the build filled.
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "panel_model.h"
#include "src/ControlAction.h"
#include "src/Halvoran.h"
#include "support/JackServer.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using hvpanel::Panel;
using hvpanel::Placed;

const char* const kSizes[] = {"small", "normal", "large"};
const char* const kSkins[] = {"legacy", "s-model", "platinum"};

// The editor as a host makes it, over the bundle the build made, with its
// debug log on and the given panel size and skin.
struct BuiltEditor {
    hvtest::TempDataDir data;
    std::unique_ptr<Halvoran> plug;

    BuiltEditor(int size, int skin) {
        hvtest::JackServer::shared();
        data.write("Halvoran UI.txt", std::string(kSizes[size]) + "\n" + kSkins[skin] + "\nfirst run: no\n");
        data.write("Halvoran LOG.txt", "");
        hvpanel::BuiltBundle bundle;
        plug = std::make_unique<Halvoran>(IUnitInstanceInfo{});
    }

    std::vector<std::string> log() const {
        std::vector<std::string> out;
        std::ifstream in(plug->debugLogPath);
        for (std::string line; std::getline(in, line);) {
            const auto at = line.find("\t ");
            out.push_back(at == std::string::npos ? line : line.substr(at + 2));
        }
        return out;
    }

    hvpanel::Lookup lookup() const {
        Halvoran* h = plug.get();
        auto param = [](IControl* c) { return c ? c->ParamIdx() : -1; };
        return hvpanel::Lookup{
            [h, param](int k, int n, int t) { return param(h->getCCControls(k, n, t)); },
            [h, param](int k, int m, int l, int t) { return param(h->getMsbLsbControl(k, m, l, 0, t)); },
            [h, param](int lo, int hi) { return param(h->getSysexControl(0x58, 0x41, lo, hi, 0)); }};
    }
};

class PanelBuild : public testing::Test {
public:
    static void SetUpTestSuite() {
        description() = std::make_unique<Panel>();
        keys() = std::make_unique<hvpanel::Keys>(hvpanel::keysOf(*description()));
    }
    static void TearDownTestSuite() {
        keys().reset();
        description().reset();
    }
    static std::unique_ptr<Panel>& description() {
        static std::unique_ptr<Panel> p;
        return p;
    }
    static std::unique_ptr<hvpanel::Keys>& keys() {
        static std::unique_ptr<hvpanel::Keys> k;
        return k;
    }
};

// What the panel build may say: its steps, and nothing missing.
bool complaint(const std::string& line) {
    if (line.rfind("CONFIG READER: ", 0) != 0) return false;
    for (const char* fine :
         {"CONFIG READER: Started to read SysEx Data...", "CONFIG READER: Completed reading SysEx data!",
          "CONFIG READER: Started to read image resources...", "CONFIG READER: Completed!",
          "CONFIG READER: Started to initialize parameters..."})
        if (line == fine) return false;
    return true;
}

TEST_F(PanelBuild, EverySizeAndSkinBuildsWithoutMissingNames) {
    for (int size = 0; size < 3; ++size) {
        for (int skin = 0; skin < 3; ++skin) {
            BuiltEditor e(size, skin);
            const std::string where = std::string(kSizes[size]) + " " + kSkins[skin];
            const auto lines = e.log();
            ASSERT_FALSE(lines.empty()) << where;
            int steps = 0;
            for (const auto& line : lines) {
                EXPECT_EQ(line.find("NOT FOUND"), std::string::npos) << where << ": " << line;
                EXPECT_EQ(line.find("MISSING"), std::string::npos) << where << ": " << line;
                EXPECT_FALSE(complaint(line)) << where << ": " << line;
                steps += line == "CONFIG READER: Completed!";
            }
            EXPECT_EQ(steps, 2) << where << ": the image table and the parameter names were read";
            // Every layer of the description is there to be switched.
            for (const auto& name : description()->layerNames) EXPECT_NE(e.plug->getLayer(name), nullptr) << name;
        }
    }
}

// Each parameter an element names carries the binding of the last element
// that names it, with the controls of all of them, and starts at its default.
TEST_F(PanelBuild, ParametersCarryTheirBindingsAndDefaults) {
    BuiltEditor e(1, 1);
    Panel& p = *description();
    std::map<int, std::vector<const Placed*>> named;
    for (const Placed& el : p.placed)
        if (el.param >= 0) named[el.param].push_back(&el);
    for (const auto& [index, elements] : named) {
        IParam* param = e.plug->GetParam(index);
        ASSERT_NE(param, nullptr) << index;
        const Placed& last = *elements.back();
        ControlAction* action = param->GetControlAction();
        if (last.tag == "multiFx") continue;  // no binding: the value stays in the editor
        ASSERT_NE(action, nullptr) << last.where();
        EXPECT_GE(action->boundControls.size(), 1u) << last.where();
        int kind = ControlAction::kNone;
        if (last.cc()) kind = last.type == "ccButton" ? 2 : 1;
        if (last.nrpn()) kind = 3;
        if (last.sysEx()) kind = last.type == "seButton" ? 5 : 6;
        EXPECT_EQ(action->kind, kind) << last.where();
        // The value the description gives it, unless the editor's own start
        // sets it (the timbre shown, the page, the settings file's choices).
        const std::vector<int> b = p.values(last, "valueBounds", 3);
        if ((last.midiBound() || last.tag == "switch") && index != kFirstRunExit) {
            EXPECT_EQ(param->Value(), last.tag == "switch" ? (b[0] ? 1.0 : 0.0) : b[0]) << last.where();
        }
    }
}

// A message from the instrument reaches the control of its parameter for the
// timbre the message is for, through what the build registered.
TEST_F(PanelBuild, IncomingMessagesFindTheirControlForBothTimbres) {
    for (int size : {0, 2}) {
        BuiltEditor e(size, 1);
        const hvpanel::Lookup lookup = e.lookup();
        for (const Placed& el : description()->placed) {
            if (!el.midiBound()) continue;
            for (int t : el.copy >= 0 ? std::vector<int>{el.copy} : std::vector<int>{0, 1}) {
                EXPECT_EQ(hvpanel::reached(lookup, el, t, keys()->firstMessage[&el]), el.param)
                    << el.where() << " timbre " << t + 1 << " at size " << kSizes[size];
            }
        }
    }
}

}  // namespace

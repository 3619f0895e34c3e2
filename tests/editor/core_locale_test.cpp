// ctest-labels: tsan
// The editor under a user whose locale writes numbers with a decimal comma
// (de_DE.UTF-8, which tools/install-deps generates): the window system takes
// only the character type from it, so a project saved, loaded and saved
// again, a bank, the settings file and the texts of values come out the
// same bytes as under "C".
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core_component.h"
#include "host/HostSession.h"
#include "librarian_testbanks.h"
#include "src/PatchManager.h"
#include "src/Settings.h"
#include "support/JackServer.h"
#include "support/ScopedEnv.h"
#include "support/TempDataDir.h"
#include "support/x11/AppOnXvfb.h"

namespace {

namespace fs = std::filesystem;

std::string fileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Saved {
    std::string project, projectAgain, bank, settings, values;
};

// What the editor writes, in a fresh data folder.
Saved saveAndLoad() {
    hvtest::TempDataDir dir;
    coretest::PanelBundle bundle{dir.path()};
    Saved out;
    std::string error;
    {
        coretest::EditorInstance a;
        EXPECT_NE(a.plug, nullptr);
        if (!a.plug) return out;
        a.setParameter(kFilterCutoff, 77);
        a.setParameter(kArpTempo, 123.5f);
        a.plug->patchManager->names[0] = "Bänk Lead";
        EXPECT_TRUE(hvhost::saveProject(a.instance, (dir.path() / "a.project").string(), &error)) << error;
    }
    coretest::EditorInstance b;
    EXPECT_TRUE(hvhost::loadProject(b.instance, (dir.path() / "a.project").string(), &error)) << error;
    EXPECT_TRUE(hvhost::saveProject(b.instance, (dir.path() / "b.project").string(), &error)) << error;
    out.project = fileBytes(dir.path() / "a.project");
    out.projectAgain = fileBytes(dir.path() / "b.project");

    PatchLibrarian lib(b.plug);
    auto* bank = new PatchFile;
    lib.bankFiles.push_back(bank);
    for (const auto& p : libtest::randomPrograms(128, 3))
        bank->patches.emplace_back().sysexMessages.push_back(PatchSysexMessage{libtest::programDump(p)});
    EXPECT_TRUE(lib.saveEditedPatch((dir.path() / "Bänk.hvx").string(), "Bänk.hvx"));
    out.bank = fileBytes(dir.path() / "Bänk.hvx");
    PatchLibrarian reader(nullptr);
    EXPECT_EQ(libtest::dumpsOf(libtest::loadBytes(reader, libtest::readFile(dir.path() / "Bänk.hvx"))).size(), 128u);

    HalvoranSettings s;
    s.size = HalvoranSettings::kSizeLarge;
    EXPECT_TRUE(writeSettingsFile((dir.path() / "UI.txt").string(), s));
    out.settings = fileBytes(dir.path() / "UI.txt");

    IParam fine;
    fine.InitDouble("Fine", 0.5, 0, 2, 0.01);
    out.values = fine.GetDisplayForHost(1.25) + " " + b.plug->GetParam(kArpTempo)->GetDisplayForHost(123.5);
    return out;
}

}  // namespace

TEST(CoreLocale, SaveAndLoadUnderADecimalCommaLocaleGiveTheSameBytes) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    const Saved plain = saveAndLoad();
    EXPECT_EQ(plain.projectAgain, plain.project);
    EXPECT_EQ(plain.values, "1.25 124");

    Saved local;
    {
        hvtest::ScopedEnv user("LC_ALL", "de_DE.UTF-8");
        ASSERT_TRUE(std::setlocale(LC_ALL, "de_DE.UTF-8")) << "run tools/install-deps to generate de_DE.UTF-8";
        std::setlocale(LC_ALL, "C");
        hvtest::AppOnXvfb x;
        ASSERT_TRUE(x.start());
        // The window system took the character type, and only that.
        EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "de_DE.UTF-8");
        EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
        local = saveAndLoad();
        x.stop();
    }
    std::setlocale(LC_CTYPE, "C");
    for (auto [what, field] : {std::pair{"project", &Saved::project},
                               {"project saved again", &Saved::projectAgain},
                               {"bank", &Saved::bank},
                               {"settings", &Saved::settings},
                               {"value texts", &Saved::values}})
        EXPECT_EQ(local.*field, plain.*field) << what;
}

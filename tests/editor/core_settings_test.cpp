// The settings file (panel size, skin, first run) and the debug-log switch.
#include "src/Halvoran.h"
#include "src/Settings.h"
#include "core_component.h"
#include "support/Regex.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

namespace {

TEST(CoreSettings, ReadsWhatItWritesAndMapsSizesToScales) {
    hvtest::TempDataDir dir;
    const std::string path = settingsFilePath(dir.str(), "Halvoran");
    EXPECT_EQ(path, dir.str() + "Halvoran UI.txt");
    for (int size = 0; size < 3; ++size)
        for (int skin = 0; skin < 3; ++skin) {
            HalvoranSettings s{size, skin, skin == 1};
            ASSERT_TRUE(writeSettingsFile(path, s));
            HalvoranSettings back;
            EXPECT_TRUE(readSettingsFile(path, &back));
            EXPECT_EQ(back, s);
        }
    EXPECT_EQ(dir.read("Halvoran UI.txt"), "large\nplatinum\nfirst run: no\n");
    EXPECT_EQ((HalvoranSettings{0, 0, true}.scale()), 0.75);
    EXPECT_EQ((HalvoranSettings{1, 0, true}.scale()), 1.0);
    EXPECT_EQ((HalvoranSettings{2, 0, true}.scale()), 1.25);
}

TEST(CoreSettings, MissingOrDamagedFileGivesTheDefaults) {
    hvtest::TempDataDir dir;
    HalvoranSettings s{2, 2, false};
    EXPECT_FALSE(readSettingsFile(dir.str() + "none UI.txt", &s));
    EXPECT_EQ(s, HalvoranSettings());
    EXPECT_EQ(s.size, HalvoranSettings::kSizeNormal);
    EXPECT_EQ(s.skin, HalvoranSettings::kSkinLegacy);
    EXPECT_TRUE(s.firstRun);

    // Each line that is understood counts; the rest takes its default.
    dir.write("a UI.txt", "large\r\nchrome\n");
    EXPECT_FALSE(readSettingsFile(dir.str() + "a UI.txt", &s));
    EXPECT_EQ(s, (HalvoranSettings{HalvoranSettings::kSizeLarge, HalvoranSettings::kSkinLegacy, true}));
    dir.write("b UI.txt", std::string("\0\xff\x01garbage", 10));
    EXPECT_FALSE(readSettingsFile(dir.str() + "b UI.txt", &s));
    EXPECT_EQ(s, HalvoranSettings());
}

TEST(CoreSettings, WritingMakesTheDataFolder) {
    hvtest::TempDataDir dir;
    const std::string path = dir.str() + "deeper/folder/Halvoran UI.txt";
    EXPECT_TRUE(writeSettingsFile(path, HalvoranSettings()));
    EXPECT_TRUE(std::filesystem::exists(path));
    // A file where the folder should be: the write fails, nothing throws.
    dir.write("blocked", "x");
    EXPECT_FALSE(writeSettingsFile(dir.str() + "blocked/Halvoran UI.txt", HalvoranSettings()));
}

TEST(CoreSettings, TheEditorStartsFromTheFileAndRewritesItOnAChange) {
    hvtest::JackServer::shared();
    hvtest::TempDataDir dir;
    dir.write("Halvoran UI.txt", "small\nplatinum\nfirst run: no\n");
    {
        coretest::EditorInstance e;
        ASSERT_NE(e.plug, nullptr);
        EXPECT_EQ(e.plug->settings().scale(), 0.75);
        EXPECT_EQ(e.plug->GetGUI()->GetScale(), 0.75);
        EXPECT_EQ(e.plug->GetGUI()->Width(), static_cast<int>(Halvoran::kGUIWidth * 0.75));
        EXPECT_EQ(e.plug->GetParam(kUserInterfaceSkin)->Int(), HalvoranSettings::kSkinPlatinum);
        EXPECT_EQ(e.plug->GetParam(kUserInterfaceSize)->Int(), HalvoranSettings::kSizeSmall);
        EXPECT_EQ(e.plug->GetParam(kFirstRunExit)->Int(), 1);

        e.setParameter(kUserInterfaceSize, HalvoranSettings::kSizeLarge);
        EXPECT_EQ(dir.read("Halvoran UI.txt"), "large\nplatinum\nfirst run: no\n");
        e.setParameter(kUserInterfaceSkin, HalvoranSettings::kSkinSModel);
        EXPECT_EQ(dir.read("Halvoran UI.txt"), "large\ns-model\nfirst run: no\n");
        // The panel keeps its size until it opens again.
        EXPECT_EQ(e.plug->GetGUI()->GetScale(), 0.75);
    }
    coretest::EditorInstance again;
    EXPECT_EQ(again.plug->GetGUI()->GetScale(), 1.25);
}

// As editors that save UTF-8 "with BOM" write it: the mark is passed over
// before the first line only, and the file is left as the user saved it.
TEST(CoreSettings, AByteOrderMarkBeforeTheFirstLineIsPassedOver) {
    hvtest::JackServer::shared();
    hvtest::TempDataDir dir;
    const std::string marked = "\xEF\xBB\xBFsmall\r\nplatinum\r\nfirst run: no\r\n";
    dir.write("Halvoran UI.txt", marked);
    {
        coretest::EditorInstance e;
        ASSERT_NE(e.plug, nullptr);
        EXPECT_EQ(e.plug->GetGUI()->GetScale(), 0.75);
        EXPECT_EQ(e.plug->settings(),
                  (HalvoranSettings{HalvoranSettings::kSizeSmall, HalvoranSettings::kSkinPlatinum, false}));
    }
    EXPECT_EQ(dir.read("Halvoran UI.txt"), marked);

    HalvoranSettings s;
    EXPECT_FALSE(parseSettingsText("large\n\xEF\xBB\xBFlegacy\nfirst run: no\n", &s));
    EXPECT_EQ(s, (HalvoranSettings{HalvoranSettings::kSizeLarge, HalvoranSettings::kSkinLegacy, false}));
    EXPECT_FALSE(parseSettingsText("\xEF\xBB\xBF", &s));
    EXPECT_EQ(s, HalvoranSettings());
}

TEST(CoreSettings, AMissingFileIsWrittenWithTheDefaultsAtStart) {
    hvtest::JackServer::shared();
    hvtest::TempDataDir dir;
    coretest::EditorInstance e;
    ASSERT_NE(e.plug, nullptr);
    EXPECT_EQ(dir.read("Halvoran UI.txt"), "normal\nlegacy\nfirst run: yes\n");
    e.setParameter(kFirstRunExit, 1);
    EXPECT_EQ(dir.read("Halvoran UI.txt"), "normal\nlegacy\nfirst run: no\n");
}

TEST(CoreSettings, AChangeReplacesTheFileWholeNeverRewritesItInPlace) {
    hvtest::JackServer::shared();
    hvtest::TempDataDir dir;
    dir.write("Halvoran UI.txt", "small\nplatinum\nfirst run: no\n");
    // A second name for the file as it was: a rewrite in place would show
    // through it, a replacement leaves it alone.
    std::filesystem::create_hard_link(dir.path() / "Halvoran UI.txt", dir.path() / "before.txt");
    coretest::EditorInstance e;
    ASSERT_NE(e.plug, nullptr);
    e.setParameter(kUserInterfaceSize, HalvoranSettings::kSizeLarge);
    EXPECT_EQ(dir.read("Halvoran UI.txt"), "large\nplatinum\nfirst run: no\n");
    EXPECT_EQ(dir.read("before.txt"), "small\nplatinum\nfirst run: no\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string().rfind(".Halvoran", 0), 0u) << "a temporary file was left";
}

TEST(CoreSettings, APipeNamedAsTheFileIsNeitherReadNorReplaced) {
    hvtest::JackServer::shared();
    hvtest::TempDataDir dir;
    const std::string path = dir.str() + "Halvoran UI.txt";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // Read, it would wait for ever for a writer: the editor starts with the
    // defaults at once and leaves the pipe as it is.
    coretest::EditorInstance e;
    ASSERT_NE(e.plug, nullptr);
    EXPECT_EQ(e.plug->settings(), HalvoranSettings());
    e.setParameter(kUserInterfaceSize, HalvoranSettings::kSizeSmall);
    EXPECT_TRUE(std::filesystem::is_fifo(path));
    EXPECT_FALSE(writeSettingsFile(path, HalvoranSettings()));
}

TEST(CoreDebugLog, OnOnlyWhenTheFileExistedAndEmptiedAtStart) {
    hvtest::JackServer::shared();
    hvtest::TempDataDir dir;
    coretest::PanelBundle bundle(dir.path());
    {
        coretest::EditorInstance e;
        EXPECT_FALSE(e.plug->debugLogOn);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "Halvoran LOG.txt"));
    }
    dir.write("Halvoran LOG.txt", "old line from last time\n");
    coretest::EditorInstance e;
    EXPECT_TRUE(e.plug->debugLogOn);
    EXPECT_EQ(e.plug->debugLogPath, dir.str() + "Halvoran LOG.txt");
    ASSERT_TRUE(e.plug->flushLog());
    const std::string log = dir.read("Halvoran LOG.txt");
    EXPECT_EQ(log.find("old line"), std::string::npos);
    // Start-up writes its lines in order, each stamped: the librarian, the
    // panel build, then the host's reset.
    std::regex stamped(R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2}\t .*)");
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t nl; (nl = log.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(log.substr(at, nl - at));
    for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, stamped)) << l;
    // Each expected line, found after the one before it.
    const std::vector<std::string> expected = {
        "PATCH MANAGER INITIALIZED...",
        "PATCH LIBRARIAN INITIALIZED...",
        "PATCH LIBRARIAN COMPLETED LOADING SINGLES...",
        "CONFIG READER: Started to read SysEx Data...",
        "CONFIG READER: Completed reading SysEx data!",
        "CONFIG READER: Started to read image resources...",
        "CONFIG READER: Completed!",
        "CONFIG READER: Started to initialize parameters...",
        "CONFIG READER: Completed!",
        "RESET: Host sample rate 48000Hz",
        "RESET: plug-in 1.0.0",
    };
    size_t next = 0;
    for (const std::string& want : expected) {
        while (next < lines.size() && lines[next].substr(lines[next].find("\t ") + 2) != want) ++next;
        ASSERT_LT(next, lines.size()) << "missing or out of order: " << want << "\n" << log;
        ++next;
    }
    // The test panel is whole: nothing it names is missing.
    EXPECT_EQ(log.find("MISSING"), std::string::npos) << log;
    EXPECT_EQ(log.find("NOT FOUND"), std::string::npos) << log;
    EXPECT_EQ(log.find("panel left empty"), std::string::npos) << log;
}

// The log's name may lead to a file that is not the log's alone: a link, or
// a file with another name too. Such a file is emptied and written only when
// it is a log; anything else stays as it is, and a log of the editor's own
// takes the name.
TEST(CoreDebugLog, ALinkIsFollowedOnlyToALog) {
    hvtest::JackServer::shared();
    const std::string notes = "Pads: warm\n", ours = "2020-02-04.10:00:00\t old line\n";
    enum Link { kSymbolic, kHard, kDangling };
    const struct {
        Link link;
        const std::string& bytes;
    } rows[] = {{kSymbolic, notes}, {kHard, notes}, {kSymbolic, ours}, {kHard, ours}, {kDangling, notes}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.link) + " to " + row.bytes);
        hvtest::TempDataDir dir;
        coretest::PanelBundle bundle(dir.path());
        const std::filesystem::path target = dir.path() / "elsewhere" / "file.txt",
                                    log = dir.path() / "Halvoran LOG.txt";
        std::filesystem::create_directories(target.parent_path());
        if (row.link != kDangling) dir.write("elsewhere/file.txt", row.bytes);
        row.link == kHard ? std::filesystem::create_hard_link(target, log)
                          : std::filesystem::create_symlink(target, log);
        coretest::EditorInstance e;
        e.plug->log("AFTER START");
        EXPECT_EQ(e.plug->debugLogOn, row.link != kDangling);
        if (row.link == kDangling) {
            EXPECT_FALSE(std::filesystem::exists(target));
            continue;
        }
        const std::string shown = dir.read("Halvoran LOG.txt");
        EXPECT_NE(shown.find("\t AFTER START\n"), std::string::npos);
        EXPECT_EQ(shown.find("old line"), std::string::npos);
        EXPECT_EQ(dir.read("elsewhere/file.txt"), &row.bytes == &ours ? shown : notes);
        if (&row.bytes == &ours) continue;
        EXPECT_NE(shown.find("a log of its own took its place"), std::string::npos);
        // A link laid in the log's place later gets no line either.
        std::filesystem::remove(log);
        std::filesystem::create_symlink(target, log);
        e.plug->log("LATER");
        EXPECT_EQ(dir.read("elsewhere/file.txt"), notes);
    }
}

}  // namespace

// A settings file the editor does not understand is left alone at start.
// A change of setting then replaces a link's target only when it holds
// settings; a link to anything else gives way to a settings file of the
// editor's own, and the log says so.
TEST(CoreSettings, AFileNotUnderstoodIsKeptAndALinkElsewhereGivesWay) {
    hvtest::JackServer::shared();
    const std::string notes = "Pads: warm\n", bank(38016, '\xF0'), theirs = "large\nplatinum\nfirst run: no\n";
    const struct {
        const char* what;
        std::string target;  // what the link leads to; "" for a plain file
        const std::string& bytes;
        std::string written;  // after the change
    } rows[] = {
        {"link to notes", "notes.txt", notes, "small\nlegacy\nfirst run: yes\n"},
        {"link to a bank", "Patches/Pads.syx", bank, "small\nlegacy\nfirst run: yes\n"},
        {"link to settings", "elsewhere UI.txt", theirs, "small\nplatinum\nfirst run: no\n"},
        {"plain file of notes", "", notes, "small\nlegacy\nfirst run: yes\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        hvtest::TempDataDir dir;
        dir.write("Halvoran LOG.txt", "");
        dir.write(row.target.empty() ? "Halvoran UI.txt" : row.target, row.bytes);
        if (!row.target.empty())
            std::filesystem::create_symlink(dir.path() / row.target, dir.path() / "Halvoran UI.txt");
        const bool followed = &row.bytes == &theirs, replaced = !row.target.empty() && !followed;
        coretest::EditorInstance e;
        ASSERT_NE(e.plug, nullptr);
        EXPECT_EQ(e.plug->settings().skin, followed ? HalvoranSettings::kSkinPlatinum : HalvoranSettings::kSkinLegacy);
        EXPECT_EQ(dir.read("Halvoran UI.txt"), row.bytes);
        e.setParameter(kUserInterfaceSize, HalvoranSettings::kSizeSmall);
        EXPECT_EQ(dir.read("Halvoran UI.txt"), row.written);
        EXPECT_EQ(std::filesystem::is_symlink(dir.path() / "Halvoran UI.txt"), followed);
        if (!row.target.empty()) {
            EXPECT_EQ(dir.read(row.target), followed ? row.written : row.bytes);
        }
        ASSERT_TRUE(e.plug->flushLog());
        EXPECT_EQ(dir.read("Halvoran LOG.txt").find("took the link's place") != std::string::npos, replaced);
    }
}

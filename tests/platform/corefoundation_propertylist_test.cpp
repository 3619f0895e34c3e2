// The saved-state dictionary's file form and the bundle lookup.
#include "platform/corefoundation/Bundle.h"
#include "platform/corefoundation/PropertyDict.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using platform::cf::Bytes;
using platform::cf::PropertyDict;
namespace fs = std::filesystem;

fs::path scratchDir(const char* name) {
    fs::path p = fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

TEST(PropertyList, EveryKindOfValueRoundTrips) {
    PropertyDict d;
    d.setInt("version", 65538);
    d.setInt("negative", -5);
    d.setInt("big", int64_t(1) << 40);
    d.setString("name", "Bass & <Lead> \"one\"");
    d.setString("empty", "");
    for (size_t n : {0u, 1u, 2u, 3u, 54u, 55u, 3276u}) {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 37 + n);
        d.setData("data" + std::to_string(n), b);
    }
    PropertyDict back;
    std::string error;
    ASSERT_TRUE(platform::cf::readPropertyList(platform::cf::writePropertyList(d), &back, &error)) << error;
    EXPECT_EQ(back, d);
    EXPECT_EQ(back.getString("version"), nullptr);  // a number is no text
    EXPECT_EQ(*back.getInt("big"), int64_t(1) << 40);
}

TEST(PropertyList, MalformedTextIsRefusedAndLeavesTheDictionaryAlone) {
    PropertyDict keep;
    keep.setInt("kept", 1);
    const char* bad[] = {
        "",
        "not xml at all",
        "<plist><array/></plist>",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><integer>3</integer></dict></plist>",
        "<plist><dict><key>a</key><integer>12x</integer></dict></plist>",
        "<plist><dict><key>a</key><integer>99999999999999999999999</integer></dict></plist>",
        "<plist><dict><key>a</key><data>QUJD*</data></dict></plist>",
        "<plist><dict><key>a</key><data>QQ==QQ</data></dict></plist>",
        "<plist><dict><key>a</key><data>Q</data></dict></plist>",
        "<plist><dict><key>a</key><real>1.5</real></dict></plist>",
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(platform::cf::readPropertyList(text, &keep, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(keep.size(), 1u);
    }
    PropertyDict ok;
    ASSERT_TRUE(platform::cf::readPropertyList(
        "<plist><dict><key>d</key><data> QU\nJD </data><key>s</key><string/></dict></plist>", &ok));
    EXPECT_EQ(*ok.getData("d"), (Bytes{'A', 'B', 'C'}));
    EXPECT_EQ(*ok.getString("s"), "");
}

TEST(PropertyList, FilesAreWrittenWholeOrNotAtAll) {
    fs::path dir = scratchDir("hv-plist");
    PropertyDict d;
    d.setString("name", "x");
    std::string error;
    ASSERT_TRUE(platform::cf::writePropertyListFile((dir / "p.plist").string(), d, &error)) << error;
    EXPECT_FALSE(fs::exists(dir / "p.plist.tmp"));
    PropertyDict back;
    ASSERT_TRUE(platform::cf::readPropertyListFile((dir / "p.plist").string(), &back, &error));
    EXPECT_EQ(back, d);
    EXPECT_FALSE(platform::cf::readPropertyListFile((dir / "missing.plist").string(), &back, &error));
    EXPECT_FALSE(platform::cf::writePropertyListFile((dir / "no/such/dir/p.plist").string(), d, &error));
    fs::remove_all(dir);
}

TEST(Bundle, FindsResourcesByTheirLastPathComponent) {
    fs::path root = scratchDir("hv-bundle");
    fs::create_directories(root / "resources/img-v2");
    fs::create_directories(root / "resources/img");
    std::ofstream(root / "resources/uiconfig.tea") << "x";
    std::ofstream(root / "resources/img/knob.png") << "old";
    std::ofstream(root / "resources/img-v2/knob.png") << "new";
    std::ofstream(root / "resources/img-v2/only2.png") << "v2";
    platform::cf::Bundle b(root.string());
    EXPECT_EQ(b.findResource("resources/uiconfig.tea"), (root / "resources/uiconfig.tea").string());
    EXPECT_EQ(b.findResource("/anywhere/else/uiconfig.tea"), (root / "resources/uiconfig.tea").string());
    EXPECT_EQ(b.findResource("resources/img-v2/only2.png"), (root / "resources/img-v2/only2.png").string());
    EXPECT_EQ(b.findResource("knob.png"), (root / "resources/img/knob.png").string());  // name order
    EXPECT_EQ(b.findResource("missing.png"), "");
    EXPECT_EQ(b.findResource("resources/"), "");
    EXPECT_EQ(b.findResource(""), "");
    EXPECT_EQ(platform::cf::Bundle("").findResource("uiconfig.tea"), "");

    // The environment names the bundle outright.
    setenv("HALVORAN_BUNDLE", root.c_str(), 1);
    EXPECT_EQ(platform::cf::Bundle::containing(nullptr).root(), root.string());
    unsetenv("HALVORAN_BUNDLE");
    // Otherwise: the folder of the binary that holds the address.
    static int here = 0;
    platform::cf::Bundle self = platform::cf::Bundle::containing(&here);
    EXPECT_EQ(self.root(), fs::canonical("/proc/self/exe").parent_path().string());
    fs::remove_all(root);
}

}  // namespace

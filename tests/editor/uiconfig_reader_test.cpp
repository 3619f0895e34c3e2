// Reading the enciphered resources: the SysEx value lists, the panel's value
// lists, the reading order, and every way a resource can be unusable.
#include "uiconfig_bundle_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Strings = std::vector<std::string>;

struct ReaderBundle : hvtest::BundleManager {
    void read(int skin = 1) { manager.readUIConfig(graphics.get(), &plug, nullptr, skin, 1.0); }

    bool logged(const std::string& line) const { return count(line) > 0; }
    // Position of the first line equal to text, or -1.
    int at(const std::string& text) const {
        auto all = lines();
        auto it = std::find(all.begin(), all.end(), text);
        return it == all.end() ? -1 : static_cast<int>(it - all.begin());
    }
};

TEST(ResourceReader, ReadsValueListsAndSysExLists) {
    ReaderBundle b;
    b.putEnciphered("uiconfig.tea", b.sourceData("uiconfig.xml"));
    b.putEnciphered("sysex.tea", b.sourceData("sysex.xml"));
    b.read(2);
    UIConfigManager& m = b.manager;
    EXPECT_EQ(m.skin, 2);
    EXPECT_EQ(m.scale, 1.0);
    EXPECT_EQ(m.graphics, b.graphics.get());
    EXPECT_EQ(m.paramNames.size(), 326u);

    EXPECT_EQ(m.valueLists["filterType"], (Strings{"24LPF", "12LPF", "12BPF", "12HPF"}));
    EXPECT_EQ(m.valueLists["timbreList"], (Strings{"Timbre 1", "Timbre 2"}));
    EXPECT_EQ(m.valueLists["arpRange"], (Strings{"1 Oct", "2 Oct", "3 Oct", "4 Oct"}));  // the later list wins
    ASSERT_EQ(m.valueLists.count("onlyOthers"), 1u);
    EXPECT_TRUE(m.valueLists["onlyOthers"].empty());
    EXPECT_EQ(m.valueLists["withBlanks"], (Strings{" spaced ", "", "&more"}));
    EXPECT_EQ(m.valueLists.count(""), 0u);
    EXPECT_EQ(m.valueLists.count("notAList"), 0u);
    EXPECT_EQ(m.valueLists.count("secondSection"), 0u);
    EXPECT_EQ(m.valueLists.size(), 5u);

    ASSERT_EQ(m.sysExContainers.size(), 5u);
    const auto& c = m.sysExContainers;
    EXPECT_EQ(c[0].lists, (std::vector<Strings>{{"F0 42 30 58 41 10 00 00 F7", "F0 42 30 58 41 11 00 00 F7"}}));
    EXPECT_FALSE(c[0].hasGroups);
    EXPECT_TRUE(c[1].lists.empty());
    EXPECT_TRUE(c[1].groups.empty());
    EXPECT_TRUE(c[2].hasGroups);
    EXPECT_EQ(c[2].groups, (std::vector<std::vector<Strings>>{{{"A", ""}, {}}}));
    EXPECT_EQ(c[2].lists, (std::vector<Strings>{{"F0 42 58 41 6B 00 00 01 F7"}}));
    EXPECT_EQ(c[3].lists, (std::vector<Strings>{{" ", " ", "F7"}}));
    EXPECT_EQ(c[4].lists, (std::vector<Strings>{{"F0 42 30 58 41 22 00 00 F7"}}));

    // The order of the build: SysEx lists, images, names.
    const int sysexStart = b.at("CONFIG READER: Started to read SysEx Data...");
    const int sysexDone = b.at("CONFIG READER: Completed reading SysEx data!");
    const int images = b.at("CONFIG READER: Started to read image resources...");
    const int params = b.at("CONFIG READER: Started to initialize parameters...");
    EXPECT_EQ(sysexStart, 0);
    EXPECT_LT(sysexStart, sysexDone);
    EXPECT_LT(sysexDone, images);
    EXPECT_LT(images, params);
    EXPECT_EQ(b.count("CONFIG READER: Completed!"), 2);
}

TEST(ResourceReader, TemplatesFeedTheExpansion) {
    ReaderBundle b;
    b.putEnciphered("sysex.tea", b.sourceData("sysex.xml"));
    b.read();
    UIConfigManager& m = b.manager;
    b.clearLog();
    ASSERT_NE(m.sysExTemplate(0), nullptr);
    EXPECT_EQ(*m.sysExTemplate(0), "F0 42 30 58 41 10 00 00 F7");
    ASSERT_NE(m.sysExTemplate(2), nullptr);
    EXPECT_EQ(*m.sysExTemplate(2), "F0 42 58 41 6B 00 00 01 F7");
    EXPECT_EQ(m.sysExTemplate(1), nullptr);  // the empty <sysex/> keeps its index
    EXPECT_EQ(m.sysExTemplate(5), nullptr);
    EXPECT_EQ(m.sysExTemplate(-1), nullptr);
    EXPECT_EQ(b.lines(), (Strings{"CONFIG READER: SysEx list 1 MISSING!", "CONFIG READER: SysEx list 5 MISSING!",
                                  "CONFIG READER: SysEx list -1 MISSING!"}));

    ControlActionSysExMessage out;
    m.calculateSysexWithChangingByteEQ(*m.sysExTemplate(2), 7, 25, &out, 0, 1);
    ASSERT_EQ(out.messages.size(), 25u);
    EXPECT_EQ(out.messages[0], (std::vector<int>{0xF0, 0x42, 0x58, 0x41, 0x7B, 0x01, 116, 0x01, 0xF7}));
    // The template of entry 3 is a blank: no message can come of it.
    m.calculateSysexWithChangingByte(*m.sysExTemplate(3), 8, 2, &out, 0, -1);
    EXPECT_TRUE(out.messages.empty());
}

TEST(ResourceReader, MissingResourcesLeaveAnEmptyPanel) {
    ReaderBundle b;
    b.read();
    UIConfigManager& m = b.manager;
    EXPECT_TRUE(m.valueLists.empty());
    EXPECT_TRUE(m.sysExContainers.empty());
    EXPECT_TRUE(m.layers.empty());
    EXPECT_EQ(m.paramNames.size(), 326u);  // names do not depend on the resources
    EXPECT_TRUE(b.logged("CONFIG READER: resources/sysex.tea MISSING!"));
    EXPECT_TRUE(b.logged("CONFIG READER: resources/uiconfig.tea MISSING!"));
    EXPECT_TRUE(b.logged("CONFIG READER: No panel description, panel left empty!"));
    EXPECT_TRUE(b.logged("CONFIG READER: Completed reading SysEx data!"));

    // Without any panel the reader still gets through.
    UIConfigManager bare;
    bare.readUIConfig(nullptr, &b.plug, nullptr, 1, 1.0);
    EXPECT_TRUE(bare.sysExContainers.empty());
}

TEST(ResourceReader, ForeignKeyMalformedAndRootlessResources) {
    const unsigned int otherKey[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
    {
        ReaderBundle b;
        b.putEnciphered("uiconfig.tea", b.sourceData("uiconfig.xml"), otherKey);
        b.putEnciphered("sysex.tea", b.sourceData("sysex.xml"), otherKey);
        b.read();
        EXPECT_TRUE(b.manager.valueLists.empty());
        EXPECT_TRUE(b.manager.sysExContainers.empty());
        int complaints = 0;
        for (const auto& line : b.lines())
            if (line.find("resources/uiconfig.tea") != std::string::npos ||
                line.find("resources/sysex.tea") != std::string::npos)
                ++complaints;
        EXPECT_GE(complaints, 2);
    }
    {
        ReaderBundle b;
        b.putEnciphered("uiconfig.tea", "<uiconfig><valueLists><list name=\"a\"><value>x</value></list>");
        b.putEnciphered("sysex.tea", "<sysexlist><sysex><values><value>F0 F7</value></sysex></sysexlist>");
        b.read();
        EXPECT_TRUE(b.manager.valueLists.empty());
        EXPECT_TRUE(b.manager.sysExContainers.empty());
        int notXml = 0;
        for (const auto& line : b.lines())
            if (line.find("is not readable XML") != std::string::npos) ++notXml;
        EXPECT_EQ(notXml, 2);
        EXPECT_TRUE(b.logged("CONFIG READER: No panel description, panel left empty!"));
    }
    {
        ReaderBundle b;
        b.putEnciphered("uiconfig.tea", "<panel><valueLists><list name=\"a\"/></valueLists></panel>");
        b.putEnciphered("sysex.tea", "<lists><sysex/></lists>");
        b.read();
        EXPECT_TRUE(b.manager.valueLists.empty());
        EXPECT_TRUE(b.manager.sysExContainers.empty());
        EXPECT_TRUE(b.logged("CONFIG READER: resources/uiconfig.tea has no uiconfig, panel left empty!"));
        EXPECT_TRUE(b.logged("CONFIG READER: resources/sysex.tea has no sysexlist!"));
    }
    {
        ReaderBundle b;
        b.putResource("uiconfig.tea", "");
        b.putResource("sysex.tea", std::string(5, '\x7F'));  // not even one block
        b.read();
        EXPECT_TRUE(b.logged("CONFIG READER: resources/uiconfig.tea is empty!"));
        EXPECT_TRUE(b.logged("CONFIG READER: resources/sysex.tea ends with 5 bytes short of a whole block, left out!"));
        EXPECT_TRUE(b.manager.sysExContainers.empty());
    }
}

TEST(ResourceReader, PartialLastBlockIsLeftOut) {
    ReaderBundle b;
    unsigned int key[4];
    buildResourceKey(key);
    b.putResource("sysex.tea", teaEncipherResource(b.sourceData("sysex.xml"), key) + "abc");
    b.putEnciphered("uiconfig.tea", b.sourceData("uiconfig.xml"));
    b.read();
    EXPECT_TRUE(b.logged("CONFIG READER: resources/sysex.tea ends with 3 bytes short of a whole block, left out!"));
    EXPECT_EQ(b.manager.sysExContainers.size(), 5u);
    EXPECT_EQ(b.manager.valueLists.size(), 5u);
}

}  // namespace

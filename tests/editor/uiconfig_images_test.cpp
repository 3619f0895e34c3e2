// The image table: names, ids, frames and orientation per skin, the cache
// passes and missing images.
#include "framework/IGraphicsRaster.h"
#include "uiconfig_bundle_fixture.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Every image file of the three skins; each gets its own width so a test can
// tell which file sits under an id.
const char* const kFiles[] = {
    "manager_bg.png",
    "browser-layer.png",
    "Halvoran1.png",
    "Halvoran25.png",
    "Halvoran201.png",
    "Halvoran3.png",
    "Halvoran-arp.png",
    "Halvoran49.png",
    "Halvoran64.png",
    "Halvoran101.png",
    "overlayer.png",
    "button-pink.png",
    "layer-led-set.png",
    "layer-led-set-OFF.png",
    "button-black-woled.png",
    "button-black.png",
    "btn-tempo-sync.png",
    "btn-tempo-sync-sml.png",
    "led-pink.png",
    "hvrn-single-led-protect.png",
    "layer-select-protector.png",
    "layer-linker.png",
    "linker-off.png",
    "btn-18x18.png",
    "big-button-last-step.png",
    "setting-lock.png",
    "newNameBG.png",
    "btn-lib-discard-edit.png",
    "btn-lib-display-multis.png",
    "btn-lib-bank-memory.png",
    "btn-127x18.png",
    "btn-cancel-request.png",
    "big-button-brem.png",
    "buttontrigger.png",
    "randombg.png",
    "about-Halvoran.png",
    "about-exit.png",
    "about-trigger.png",
    "first-run-Halvoran.png",
    "first-run-exit.png",
    "advanced-midi-filters.png",
    "checkbox-button.png",
    "btn-search.png",
    "bg-librarian-search-field.png",
    "btn-overwrite-slot.png",
    "btn-lock-white.png",
    "btn-lock-black.png",
    "bg-main-leg.png",
    "bg-main.png",
    "bg-main-pla.png",
    "layer-main-leg.png",
    "layer-main.png",
    "layer-main-pla.png",
    "arp-edit-area-leg.png",
    "arp-edit-area.png",
    "arp-edit-area-pla.png",
    "vp-area-leg.png",
    "vp-area.png",
    "vp-area-pla.png",
    "layer-global-settings-leg.png",
    "layer-global-settings.png",
    "layer-global-settings-pla.png",
    "midi-routing-1-hv-leg.png",
    "midi-routing-1-hv.png",
    "midi-routing-1-hv-pla.png",
    "midi-routing-2-hv-leg.png",
    "midi-routing-2-hv.png",
    "midi-routing-2-hv-pla.png",
};

struct ImageBundle : hvtest::BundleManager {
    std::map<std::string, int> width;  // file -> its width

    explicit ImageBundle(int skin, double scale = 1.0) : BundleManager(scale) {
        manager.skin = skin;
        int w = 4;
        for (const char* f : kFiles) {
            width[f] = w;
            putPng(f, w, 8);
            w += 4;
        }
    }

    // The width of the bitmap the table gives for name, at scale 1.
    int widthOf(const std::string& name) { return manager.getImageByName(graphics.get(), name).W; }
};

// The table is only meaningful where the panel can decode PNG files.
class ImageTable : public testing::Test {
protected:
    void SetUp() override {}
};

TEST_F(ImageTable, DefaultSkin) {
    ImageBundle b(1);
    UIConfigManager& m = b.manager;
    m.initImages(b.graphics.get());
    EXPECT_EQ(m.images.size(), 54u);
    EXPECT_EQ(m.images.at("BG_ID_PLAIN").id, 104);
    EXPECT_EQ(m.images.at("BUTTON_LOCK_WHITE_ID").id, 128);
    EXPECT_EQ(m.images.at("BUTTON_LOCK_BLACK_ID").id, 129);
    EXPECT_EQ(m.images.at("BUTTON_BANK_OVERWRITE_ID").id, 996);
    EXPECT_EQ(m.images.at("BUTTON_LIB_CANCEL_ID").id, 118);

    const ImageInfo arp = m.images.at("IKNOBROTATERCONTROL_IDARP");
    EXPECT_EQ(arp.id, 312);
    EXPECT_EQ(arp.frames, 280);
    EXPECT_FALSE(arp.horizontal);
    const ImageInfo led = m.images.at("LAYER_LED_SET_ID");
    EXPECT_EQ(led.frames, 3);
    EXPECT_FALSE(led.horizontal);
    const ImageInfo bg = m.images.at("BG_ID_FUNC2");
    EXPECT_EQ(bg.id, 315);
    EXPECT_EQ(bg.frames, 1);
    EXPECT_TRUE(bg.horizontal);
    for (const auto& [name, info] : m.images) EXPECT_TRUE(IGraphics::IsBitmapCached(info.id)) << name;

    // The bitmap comes with the table's frames and orientation.
    IBitmap knob = m.getImageByName(b.graphics.get(), "IKNOBROTATERCONTROL_ID101");
    EXPECT_NE(knob.mData, nullptr);
    EXPECT_EQ(knob.N, 101);
    EXPECT_FALSE(knob.mFramesAreHorizontal);
    EXPECT_EQ(knob.H, 8);

    // Names whose files are not what they suggest, and the skin's file choice.
    EXPECT_EQ(b.widthOf("IKNOBROTATERCONTROL_ID2"), b.width["Halvoran1.png"]);
    EXPECT_EQ(b.widthOf("BUTTON_BLCK_ID"), b.width["button-black-woled.png"]);
    EXPECT_EQ(b.widthOf("BUTTON_BLCK_10_ID"), b.width["button-black.png"]);
    EXPECT_EQ(b.widthOf("BUTTON_SYNC_SML_ID"), b.width["btn-tempo-sync-sml.png"]);
    EXPECT_EQ(b.widthOf("BG_ID_FUNC1"), b.width["midi-routing-1-hv.png"]);
    EXPECT_EQ(b.widthOf("BUTTON_LOCK_WHITE_ID"), b.width["btn-lock-white.png"]);

    EXPECT_EQ(b.lines(), (std::vector<std::string>{"CONFIG READER: Started to read image resources...",
                                                   "CONFIG READER: Completed!"}));
}

TEST_F(ImageTable, LegacyAndPlatinumSkins) {
    {
        ImageBundle b(0);
        b.manager.initImages(b.graphics.get());
        EXPECT_EQ(b.manager.images.size(), 54u);
        EXPECT_EQ(b.manager.images.at("BG_ID_PLAIN").id, 505);
        // The legacy skin swaps the lock names, not the files.
        EXPECT_EQ(b.manager.images.at("BUTTON_LOCK_BLACK_ID").id, 128);
        EXPECT_EQ(b.manager.images.at("BUTTON_LOCK_WHITE_ID").id, 129);
        EXPECT_EQ(b.widthOf("BUTTON_LOCK_BLACK_ID"), b.width["btn-lock-white.png"]);
        EXPECT_EQ(b.widthOf("BG_ID_VPA"), b.width["vp-area-leg.png"]);
    }
    {
        ImageBundle b(2);
        b.manager.initImages(b.graphics.get());
        EXPECT_EQ(b.manager.images.at("BG_ID_GLOBAL").id, 606);
        EXPECT_EQ(b.manager.images.at("BUTTON_LOCK_WHITE_ID").id, 128);
        EXPECT_EQ(b.widthOf("BG_ID_GLOBAL"), b.width["layer-global-settings-pla.png"]);
    }
}

TEST_F(ImageTable, UnknownSkinHasNoSkinRows) {
    ImageBundle b(3);
    b.manager.initImages(b.graphics.get());
    EXPECT_EQ(b.manager.images.size(), 45u);
    for (const char* name : {"BG_ID_PLAIN", "BG_ID_MAIN", "BUTTON_LOCK_WHITE_ID", "BUTTON_LOCK_BLACK_ID"})
        EXPECT_EQ(b.manager.images.count(name), 0u) << name;
    EXPECT_EQ(b.manager.images.count("BUTTON_BANK_OVERWRITE_ID"), 1u);
}

TEST_F(ImageTable, SecondRunLoadsNothingAndScaleApplies) {
    ImageBundle b(1, 0.75);
    b.manager.initImages(b.graphics.get());
    const auto before = b.manager.images;
    const int cached = IGraphics::NCachedBitmaps();
    std::filesystem::remove_all(b.dir.path() / "resources");  // a reload would now fail
    b.manager.initImages(b.graphics.get());
    EXPECT_EQ(IGraphics::NCachedBitmaps(), cached);
    ASSERT_EQ(b.manager.images.size(), before.size());
    for (const auto& [name, info] : before) {
        EXPECT_EQ(b.manager.images.at(name).id, info.id);
        EXPECT_EQ(b.manager.images.at(name).frames, info.frames);
    }
    // Loaded at the panel scale, each size truncated.
    IBitmap bg = b.manager.getImageByName(b.graphics.get(), "BG_ID_PLAIN");
    EXPECT_EQ(bg.W, b.width["bg-main.png"] * 3 / 4);
    EXPECT_EQ(bg.H, 6);
}

TEST_F(ImageTable, ClearImageCacheReleasesEveryVisitedId) {
    ImageBundle b(1);
    UIConfigManager& m = b.manager;
    m.initImages(b.graphics.get());
    ASSERT_TRUE(IGraphics::IsBitmapCached(104));
    m.ClearImageCache();
    EXPECT_FALSE(m.releaseImages);
    for (const auto& [name, info] : m.images) EXPECT_FALSE(IGraphics::IsBitmapCached(info.id)) << name;
    EXPECT_EQ(m.images.size(), 54u);  // entries stay, their bitmaps are gone

    // A pass over ids never loaded before loads and releases them at once.
    UIConfigManager fresh;
    fresh.graphics = b.graphics.get();
    fresh.skin = 2;
    fresh.ClearImageCache();
    EXPECT_TRUE(fresh.images.empty());
    for (int id : {605, 606, 128, 113, 996}) EXPECT_FALSE(IGraphics::IsBitmapCached(id)) << id;
}

TEST_F(ImageTable, MissingImagesGiveTheEmptyBitmap) {
    ImageBundle b(1);
    std::filesystem::remove(b.resource("Halvoran-arp.png"));
    b.putResource("vp-area.png", "not a png");
    b.manager.initImages(b.graphics.get());
    EXPECT_EQ(b.manager.images.size(), 52u);
    EXPECT_EQ(b.manager.images.count("IKNOBROTATERCONTROL_IDARP"), 0u);
    b.clearLog();
    for (const char* name : {"IKNOBROTATERCONTROL_IDARP", "BG_ID_VPA", "NO_SUCH_IMAGE"}) {
        IBitmap none = b.manager.getImageByName(b.graphics.get(), name);
        EXPECT_EQ(none.mData, nullptr);
        EXPECT_EQ(none.W, 0);
        EXPECT_EQ(none.H, 0);
        EXPECT_EQ(none.N, 1);
        EXPECT_FALSE(none.mFramesAreHorizontal);
    }
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"CONFIG READER: Image IKNOBROTATERCONTROL_IDARP MISSING!",
                                                   "CONFIG READER: Image BG_ID_VPA MISSING!",
                                                   "CONFIG READER: Image NO_SUCH_IMAGE MISSING!"}));
    // No panel at all: nothing to load, nothing to crash on.
    UIConfigManager bare;
    bare.initImages(nullptr);
    EXPECT_TRUE(bare.images.empty());
    EXPECT_EQ(bare.getImageByName(nullptr, "BG_ID_PLAIN").mData, nullptr);
}

}  // namespace

// A real click on a panel switch, with the panel opened through the view
// entry: the host hears of the change exactly once.
#include "TestUnit.h"
#include "gui_fixture.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::au;

TEST(ClickNotification, AClickOnASwitchNotifiesTheHostOnceThroughTheViewEntry) {
    auto* backend = new platform::appkit::HeadlessBackend;
    platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(backend));
    testunit::TestUnit unit{IUnitInstanceInfo{}, false};
    auto* g = new IGraphicsMac(&unit, 100, 60);
    unit.AttachGraphics(g);
    std::vector<std::unique_ptr<RAST_MemBitmap>> keep;
    IBitmap strip = guitest::makeStrip(keep, 20, 20, {guitest::rgb(0, 0, 0), guitest::rgb(255, 255, 255)});
    g->AttachControl(new ISwitchControl(&unit, 10, 10, testunit::kSwitch, &strip));

    std::vector<std::pair<int, float>> heard;
    AUCall add{};
    add.selector = kSelAddParameterListener;
    add.parameterListener = [](void* user, int32_t id, float v) {
        static_cast<std::vector<std::pair<int, float>>*>(user)->push_back({id, v});
    };
    add.listenerUser = &heard;
    ASSERT_EQ(unit.Dispatch(&add), kNoErr);

    platform::appkit::Window window({100, 60}, "host");
    AUViewCall open{};
    open.selector = kViewSelOpen;
    open.instance = &unit;
    open.parentView = window.contentView();
    ASSERT_EQ(IUnitAU_ViewEntry(&open), kNoErr);
    ASSERT_NE(open.view, nullptr);
    EXPECT_EQ(open.width, 100);
    EXPECT_EQ(open.height, 60);
    window.display();

    using EV = platform::appkit::EventType;
    window.sendEvent(platform::appkit::Event::mouse(EV::MouseDown, {15, 15}));
    window.sendEvent(platform::appkit::Event::mouse(EV::MouseUp, {15, 15}));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, testunit::kSwitch);
    EXPECT_EQ(heard[0].second, 1.0f);
    EXPECT_EQ(unit.GetParam(testunit::kSwitch)->Value(), 1.0);
    // A click beside the switch reaches nothing.
    window.sendEvent(platform::appkit::Event::mouse(EV::MouseDown, {80, 50}));
    window.sendEvent(platform::appkit::Event::mouse(EV::MouseUp, {80, 50}));
    EXPECT_EQ(heard.size(), 1u);

    AUViewCall close{};
    close.selector = kViewSelClose;
    close.instance = &unit;
    close.view = open.view;
    EXPECT_EQ(IUnitAU_ViewEntry(&close), kNoErr);
    EXPECT_FALSE(g->WindowIsOpen());
}

}  // namespace

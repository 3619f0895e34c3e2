// ctest-labels: tsan
#include <gtest/gtest.h>

#include <thread>

#include "platform/appkit/Modal.h"
#include "platform/appkit/Window.h"

using namespace platform::appkit;

namespace {

class Clicks : public View {
public:
    using View::View;
    void mouseDown(const Event&) override { ++downs; }
    int downs = 0;
};

struct HookReset {
    ~HookReset() { setModalIterationHook(nullptr); }
};

}  // namespace

TEST(AppKitModal, RunEndsWithTheCodeAndRefusesOtherWindows) {
    HookReset reset;
    Window dialog({100, 80}, "dialog"), other({100, 80}, "other");
    auto* inDialog = new Clicks(Rect{0, 0, 100, 80});
    auto* inOther = new Clicks(Rect{0, 0, 100, 80});
    dialog.contentView()->addSubview(inDialog);
    other.contentView()->addSubview(inOther);
    other.show();
    int passes = 0;
    setModalIterationHook([&](Window* w) {
        EXPECT_EQ(w, &dialog);
        EXPECT_EQ(modalWindow(), &dialog);
        other.sendEvent(Event::mouse(EventType::MouseDown, {5, 5}));
        dialog.sendEvent(Event::mouse(EventType::MouseDown, {5, 5}));
        if (++passes == 3) stopModalWithCode(7);
    });
    EXPECT_EQ(runModalForWindow(&dialog), 7);
    EXPECT_EQ(passes, 3);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(inDialog->downs, 3);
    EXPECT_EQ(inOther->downs, 0);
    EXPECT_EQ(modalWindow(), nullptr);
    other.sendEvent(Event::mouse(EventType::MouseDown, {5, 5}));
    EXPECT_EQ(inOther->downs, 1);
}

TEST(AppKitModal, NestedRunsAndStopBeforeAbort) {
    HookReset reset;
    Window outer({50, 50}, "outer"), inner({50, 50}, "inner");
    std::vector<int> innerResults;
    setModalIterationHook([&](Window* w) {
        if (w == &outer && innerResults.empty()) {
            innerResults.push_back(runModalForWindow(&inner));
            EXPECT_EQ(modalWindow(), &outer);
            // The first end counts: a stop followed by an abort stays a stop.
            stopModal();
            abortModal();
        } else if (w == &inner) {
            abortModal();
        }
    });
    EXPECT_EQ(runModalForWindow(&outer), kModalResponseStop);
    EXPECT_EQ(innerResults, std::vector<int>{kModalResponseAbort});
}

TEST(AppKitModal, AbortFromAnotherThread) {
    HookReset reset;
    Window dialog({50, 50}, "threaded");
    std::thread aborter;
    setModalIterationHook([&](Window*) {
        if (!aborter.joinable()) aborter = std::thread([] { abortModal(); });
    });
    EXPECT_EQ(runModalForWindow(&dialog), kModalResponseAbort);
    aborter.join();
}

TEST(AppKitModal, SessionsRunOnePassAtATime) {
    Window dialog({50, 50}, "session");
    ModalSession* s = beginModalSession(&dialog);
    EXPECT_EQ(modalWindow(), &dialog);
    EXPECT_EQ(runModalSession(s), kModalResponseContinue);
    EXPECT_EQ(runModalSession(s), kModalResponseContinue);
    stopModal();
    EXPECT_EQ(runModalSession(s), kModalResponseStop);
    endModalSession(s);
    EXPECT_EQ(modalWindow(), nullptr);
}

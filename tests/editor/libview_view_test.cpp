// The librarian view on a headless panel: its slot layout at each panel
// size, what it draws, and what clicks, double clicks, keys, drags and the
// slot menus do to the selections and to the edited bank.
#include "libview_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

namespace {

using libviewtest::kGround;
using libviewtest::kHighlight;
using libviewtest::LibrarianPage;
using Pane = LibrarianViewControl;
constexpr int kUpper = LibrarianViewControl::kUpperPane;
constexpr int kLower = LibrarianViewControl::kLowerPane;

// A view alone, as the panel builder makes it at (x, y).
std::unique_ptr<LibrarianViewControl> bareView(double scale, int x = 100, int y = 62) {
    RAST_MemBitmap background(16, 16, 4);
    IBitmap bitmap(&background, 16, 16, 1);
    return std::make_unique<LibrarianViewControl>(nullptr, x, y, kLibrarianArea, &bitmap, IRECT(x, y, x + 16, y + 16),
                                                  nullptr, scale);
}

// An output port chosen on the selector (the list has two entries).
void chooseOutput(Halvoran* e) {
    IParam* out = e->GetParam(kDeviceOutSelection);
    out->InitEnum("Device Selection", 0, 2);
    out->Set(1);
}

// ---- Layout

TEST(LibViewLayout, SlotsRunDownColumnsOfSixteenInBothPanesAtEverySize) {
    struct Case {
        double scale;
        int w, h, gap, lowerTop, font, dragWidth;
    };
    for (const Case& c : {Case{0.75, 73, 12, 22, 229, 9, 72}, Case{1.0, 97, 16, 30, 303, 13, 97},
                          Case{1.25, 122, 20, 37, 379, 16, 121}}) {
        SCOPED_TRACE(c.scale);
        const int x = 100, y = 62;
        auto view = bareView(c.scale, x, y);
        EXPECT_EQ(view->slotRect(kUpper, 0), IRECT(x + c.gap, y + 1, x + c.gap + c.w, y + 1 + c.h));
        // Slot 17 is the second row of the second column.
        const int left17 = x + c.gap + (c.w + c.gap);
        EXPECT_EQ(view->slotRect(kUpper, 17), IRECT(left17, y + 1 + c.h, left17 + c.w, y + 1 + 2 * c.h));
        const int left127 = x + c.gap + 7 * (c.w + c.gap), top127 = y + c.lowerTop + 15 * c.h;
        EXPECT_EQ(view->slotRect(kLower, 127), IRECT(left127, top127, left127 + c.w, top127 + c.h));
        EXPECT_EQ(view->slot(kLower, 0)->GetText()->mSize, c.font);
        EXPECT_STREQ(view->slot(kLower, 0)->GetText()->mFont, "NK57 Monospace");
        EXPECT_EQ(view->slot(kUpper, 0)->GetText()->mAlign, IText::kAlignNear);
        EXPECT_EQ(view->dragWidth, c.dragWidth);
        EXPECT_EQ(view->rowHeight, c.h);
    }
    // At scale 1.0: the corners the painted panes are made for.
    auto view = bareView(1.0, 0, 0);
    EXPECT_EQ(view->slotRect(kUpper, 0), IRECT(30, 1, 127, 17));
    EXPECT_EQ(view->slotRect(kLower, 127), IRECT(919, 543, 1016, 559));
    // Hits: left and top edges in, right and bottom edges out; the gutters hit nothing.
    EXPECT_EQ(view->slotAt(kUpper, 30, 1), 0);
    EXPECT_EQ(view->slotAt(kUpper, 127, 1), -1);
    EXPECT_EQ(view->slotAt(kUpper, 126, 16), 0);
    EXPECT_EQ(view->slotAt(kUpper, 126, 17), 1);
    EXPECT_EQ(view->slotAt(kUpper, 29, 5), -1);
    EXPECT_EQ(view->slotAt(kLower, 30, 5), -1);
    // A view starts with the first upper slot selected and nothing copied.
    EXPECT_EQ(view->selectedUpper, 0);
    EXPECT_EQ(view->selectedLower, -1);
    EXPECT_EQ(view->keyCursor, 0);
    EXPECT_EQ(view->clipboard, -1);
    EXPECT_FALSE(view->dragEnabled);
}

// ---- Drawing

TEST(LibViewDraw, BothPanesShowTheirBanksAndTheSelectionIsHighlighted) {
    LibrarianPage p;
    p.librarian->selectedBankLower = 1;
    p.editor()->updatePatchLibrarianView(1);
    EXPECT_EQ(p.text(kUpper, 0), "Alpha 000");
    EXPECT_EQ(p.text(kUpper, 127), "Alpha 127");
    EXPECT_EQ(p.text(kLower, 37), "Beta 037");
    p.tick();
    EXPECT_GT(p.inked(kUpper, 37), 10);
    EXPECT_GT(p.inked(kLower, 37), 10);
    // Between the panes and in the gutters: the background only.
    EXPECT_EQ(p.pixel(p.rect(kUpper, 0).L - 10, p.rect(kUpper, 0).T + 8), kGround);

    // The selected upper slot: light ground, dark letters.
    const IRECT& sel = p.rect(kUpper, 0);
    EXPECT_EQ(p.pixel(sel.R - 2, sel.T + 1), kHighlight);
    int dark = 0;
    for (int x = sel.L; x < sel.R; ++x) dark += p.pixel(x, sel.MH()) < 0x808080;
    EXPECT_GT(dark, 3);

    // A slot without a name draws nothing; the other slots keep white letters.
    p.bank(0)->patches[7].name = "";
    p.editor()->updatePatchLibrarianView(0);
    p.clickSlot(kLower, 3);
    p.tick();
    EXPECT_EQ(p.inked(kUpper, 7), 0);
    EXPECT_NE(p.pixel(sel.R - 2, sel.T + 1), kHighlight);
    EXPECT_EQ(p.pixel(p.rect(kLower, 3).R - 2, p.rect(kLower, 3).T + 1), kHighlight);
    int white = 0;
    const IRECT& other = p.rect(kUpper, 8);
    for (int y = other.T; y < other.B; ++y)
        for (int x = other.L; x < other.R; ++x) white += p.pixel(x, y) > 0xC0C0C0;
    EXPECT_GT(white, 3);
}

TEST(LibViewDraw, RefillsFollowTheBanksAndStopAtAMissingOne) {
    LibrarianPage p;
    // A bank of fewer programs leaves the rest of the pane empty.
    p.bank(1)->patches.resize(100);
    p.librarian->selectedBankUpper = 1;
    p.editor()->updatePatchLibrarianView(0);
    EXPECT_EQ(p.text(kUpper, 99), "Beta 099");
    EXPECT_EQ(p.text(kUpper, 100), "");
    // A selection past the bank list changes nothing.
    p.librarian->selectedBankUpper = 7;
    p.editor()->updatePatchLibrarianView(2);
    EXPECT_EQ(p.text(kUpper, 99), "Beta 099");
    // Other codes refill nothing.
    p.librarian->selectedBankUpper = 0;
    p.editor()->updatePatchLibrarianView(3);
    EXPECT_EQ(p.text(kUpper, 99), "Beta 099");
    p.editor()->updatePatchLibrarianView(2);
    EXPECT_EQ(p.text(kUpper, 99), "Alpha 099");
}

// ---- Clicks

TEST(LibViewClicks, AClickSelectsOneSlotInOnePaneAndTheSaveControlsFollow) {
    LibrarianPage p;
    p.clickSlot(kUpper, 20);
    EXPECT_EQ(p.view->selectedUpper, 20);
    EXPECT_EQ(p.view->selectedLower, -1);
    EXPECT_EQ(p.view->activePane, kUpper);
    EXPECT_EQ(p.view->keyCursor, 20);
    EXPECT_EQ(p.librarian->selectedSlotUpper, 20);
    EXPECT_EQ(p.librarian->selectedSlotLower, -1);
    EXPECT_FALSE(p.saveButton->IsGrayed());

    p.clickSlot(kLower, 33);
    EXPECT_EQ(p.view->selectedUpper, -1);
    EXPECT_EQ(p.view->selectedLower, 33);
    EXPECT_EQ(p.view->activePane, kLower);
    EXPECT_EQ(p.view->keyCursor, -1);
    EXPECT_EQ(p.librarian->selectedSlotUpper, -1);
    EXPECT_EQ(p.librarian->selectedSlotLower, 33);
    EXPECT_TRUE(p.saveButton->IsGrayed()) << "a lower slot is no bank to save";

    // Between the panes: nothing selected, the pane stays.
    p.click(p.rect(kUpper, 15).MW(), p.rect(kUpper, 15).B + 10);
    EXPECT_EQ(p.view->selectedUpper, -1);
    EXPECT_EQ(p.view->selectedLower, -1);
    EXPECT_EQ(p.view->activePane, kLower);
    EXPECT_EQ(p.librarian->selectedSlotLower, -1);

    // A click ends a pending rename.
    p.editor()->renameIdle = false;
    p.rename->Hide(false);
    p.clickSlot(kUpper, 1);
    EXPECT_TRUE(p.editor()->renameIdle);
    EXPECT_FALSE(p.rename->IsVisible());
}

TEST(LibViewClicks, ARightClickSelectsAndOpensTheMenuOfItsPane) {
    LibrarianPage p;
    p.clickSlot(kUpper, 5);
    p.editor()->renameIdle = false;
    auto [x, y] = p.at(kUpper, 9);
    p.backend->queueMenuDismiss();
    p.rightClick(x, y);
    EXPECT_EQ(p.lastMenu(), (std::vector<std::string>{"Paste", "", "Rename", "", "Initialize", "Request"}));
    EXPECT_EQ(p.backend->shownMenus().back().at, (platform::appkit::Point{x, y}));
    EXPECT_EQ(p.view->selectedUpper, 9);
    EXPECT_EQ(p.librarian->selectedSlotUpper, 9);
    EXPECT_EQ(p.view->keyCursor, 5) << "a right click leaves the key cursor";
    EXPECT_FALSE(p.editor()->renameIdle) << "and the rename";

    auto [lx, ly] = p.at(kLower, 70);
    p.backend->queueMenuDismiss();
    p.rightClick(lx, ly);
    EXPECT_EQ(p.lastMenu(), std::vector<std::string>{"Copy"});
    EXPECT_EQ(p.view->selectedLower, 70);
    EXPECT_EQ(p.librarian->selectedSlotLower, 70);
    EXPECT_EQ(p.librarian->selectedSlotUpper, -1);

    // Beside every slot: the copy menu too.
    p.backend->queueMenuDismiss();
    p.rightClick(p.rect(kUpper, 0).L - 10, p.rect(kUpper, 0).T + 5);
    EXPECT_EQ(p.lastMenu(), std::vector<std::string>{"Copy"});
    EXPECT_EQ(p.view->selectedUpper, -1);
    EXPECT_EQ(p.view->selectedLower, -1);
    // Every item is left unchecked after a run.
    auto* menu = dynamic_cast<FileCopyPopupMenu*>(p.editor()->slotMenu.get());
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->copyMenu.IsItemChecked(0));
}

TEST(LibViewClicks, ADoubleClickSendsTheSlotOfItsPaneOnlyWithAnOutputChosen) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    p.librarian->selectedBankLower = 1;
    p.librarian->selectedSlotUpper = 3;
    e->midiInOutSet = true;
    e->midiOutReady = true;
    // No output chosen: nothing goes out.
    auto [x, y] = p.at(kUpper, 4);
    p.doubleClick(x, y);
    EXPECT_TRUE(p.programChanges().empty());

    chooseOutput(e);
    p.doubleClick(x, y);
    auto sent = p.programChanges();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (coretest::Msg{0xC0, 4, 0}));
    EXPECT_EQ(p.view->keyCursor, 4);

    // The lower pane's slot from the lower bank: its upper twin is empty and
    // would send nothing.
    p.bank(0)->patches[6] = LibrarianPatch();
    auto [lx, ly] = p.at(kLower, 6);
    p.doubleClick(lx, ly);
    sent = p.programChanges();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (coretest::Msg{0xC0, 6, 0}));
    EXPECT_EQ(p.view->selectedLower, 6);
    EXPECT_EQ(p.view->keyCursor, 6);
    EXPECT_EQ(p.librarian->selectedSlotLower, 6) << "set by the click before";

    // Beside the slots: nothing is sent and the cursor is on no slot.
    p.doubleClick(p.rect(kUpper, 0).L - 10, p.rect(kUpper, 0).T + 5);
    EXPECT_TRUE(p.programChanges().empty());
    EXPECT_EQ(p.view->keyCursor, -1);
}

// ---- Keys

TEST(LibViewKeys, ArrowsWalkTheSlotsWithWrapAround) {
    LibrarianPage p;
    auto [x, y] = p.at(kUpper, 40);
    using platform::appkit::Key;
    for (auto [from, key, to] :
         {std::tuple{0, Key::Up, 127}, std::tuple{127, Key::Down, 0}, std::tuple{5, Key::Left, 117},
          std::tuple{117, Key::Right, 5}, std::tuple{120, Key::Right, 8}, std::tuple{40, Key::Down, 41},
          std::tuple{40, Key::Left, 24}}) {
        p.view->keyCursor = from;
        p.key(x, y, key);
        EXPECT_EQ(p.view->keyCursor, to) << from;
        EXPECT_EQ(p.view->selectedUpper, to) << from;
    }
    // The librarian's selections are not touched; other keys are not used.
    EXPECT_EQ(p.librarian->selectedSlotUpper, 0);
    EXPECT_FALSE(p.graphics->OnKeyDown(x, y, KEY_SPACE));
    EXPECT_FALSE(p.graphics->OnKeyDown(x, y, KEY_ALPHA_A));
    EXPECT_EQ(p.view->keyCursor, 24);
}

TEST(LibViewKeys, AfterALowerClickDownSendsTheLowerPanesFirstSlot) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    p.librarian->selectedBankLower = 1;
    p.bank(0)->patches[0] = LibrarianPatch();  // the upper twin sends nothing
    e->midiInOutSet = true;
    e->midiOutReady = true;
    p.clickSlot(kLower, 50);
    EXPECT_EQ(p.view->keyCursor, -1);
    auto [x, y] = p.at(kLower, 50);
    p.key(x, y, platform::appkit::Key::Down);
    EXPECT_EQ(p.view->selectedLower, 0);
    EXPECT_EQ(p.view->selectedUpper, -1);
    EXPECT_EQ(p.view->keyCursor, 0);
    EXPECT_EQ(p.programChanges(), (std::vector<coretest::Msg>{{0xC0, 0, 0}}));
}

// ---- Drag and drop

TEST(LibViewDrag, ALowerSlotDroppedOnAnUpperSlotLandsThere) {
    LibrarianPage p;
    p.librarian->selectedBankLower = 1;
    p.editor()->updatePatchLibrarianView(1);
    auto [sx, sy] = p.at(kLower, 10);
    auto [tx, ty] = p.at(kUpper, 3);
    p.press(sx, sy);
    p.drag(sx + 3, sy);
    EXPECT_TRUE(p.view->dragging);
    EXPECT_EQ(p.view->sourceSlot, 10);
    // The grey rectangle follows the pointer, over slots and gutters alike.
    const int gx = p.rect(kUpper, 16).L - 15, gy = ty;
    p.drag(gx, gy);
    EXPECT_EQ(p.view->dragRect, IRECT(gx - 48, gy - 8, gx - 48 + 97, gy - 8 + 16));
    p.tick();
    EXPECT_EQ(p.pixel(gx, gy), kHighlight);
    p.drag(tx, ty);
    p.release(tx, ty);
    EXPECT_FALSE(p.view->dragging);
    EXPECT_EQ(p.bank(0)->patches[3].name, "Beta 010");
    EXPECT_EQ(p.bank(0)->patches[3].sysexMessages[0].data, p.bank(1)->patches[10].sysexMessages[0].data);
    EXPECT_EQ(p.text(kUpper, 3), "Beta 010");
    EXPECT_EQ(p.view->selectedUpper, 3);
    EXPECT_EQ(p.librarian->selectedSlotUpper, 3);
    EXPECT_EQ(p.editor()->GetParam(kBankEditUnsaved)->Value(), 1.0);
    EXPECT_FALSE(p.saveButton->IsGrayed());
    // The source bank is as it was.
    EXPECT_EQ(p.bank(1)->patches[10].name, "Beta 010");
    p.tick();
    EXPECT_EQ(p.pixel(gx, gy), kGround) << "no grey rectangle after the drop";
}

TEST(LibViewDrag, OnlyAPassOverALowerSlotStartsADragAndOnlyAnUpperSlotTakesIt) {
    LibrarianPage p;
    auto before = p.bank(0)->patches;
    // Started on an upper slot: the highlight follows until a lower slot.
    auto [ux, uy] = p.at(kUpper, 2);
    p.press(ux, uy);
    auto [u5x, u5y] = p.at(kUpper, 5);
    p.drag(u5x, u5y);
    EXPECT_FALSE(p.view->dragging);
    EXPECT_EQ(p.view->selectedUpper, 5);
    auto [lx, ly] = p.at(kLower, 7);
    p.drag(lx, ly);
    EXPECT_TRUE(p.view->dragging);
    // Released over the lower pane: nothing copied.
    auto [l9x, l9y] = p.at(kLower, 9);
    p.drag(l9x, l9y);
    p.release(l9x, l9y);
    EXPECT_FALSE(p.view->dragging);
    EXPECT_EQ(p.librarian->selectedSlotUpper, -1);
    EXPECT_EQ(p.editor()->GetParam(kBankEditUnsaved)->Value(), 0.0);
    // Nor beside both panes.
    p.press(lx, ly);
    p.drag(lx + 2, ly);
    p.drag(5, 5);
    p.release(5, 5);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(p.bank(0)->patches[i].name, before[i].name);

    // The same bank in both panes.
    p.dropLowerOnUpper(2, 7);
    EXPECT_EQ(p.bank(0)->patches[7].name, "Alpha 002");
    EXPECT_EQ(p.bank(0)->patches[2].name, "Alpha 002");
    EXPECT_EQ(p.editor()->GetParam(kBankEditUnsaved)->Value(), 1.0);

    // Without the page shown, no drag starts.
    p.view->dragEnabled = false;
    p.press(lx, ly);
    p.drag(lx + 2, ly);
    EXPECT_FALSE(p.view->dragging);
    p.release(lx + 2, ly);
}

// ---- The slot menus' actions

TEST(LibViewCopyPaste, CopyRecordsALowerSlotAndPasteFeedsItIntoTheUpperSlot) {
    LibrarianPage p;
    p.librarian->selectedBankLower = 1;
    p.editor()->updatePatchLibrarianView(1);
    auto [ux, uy] = p.at(kUpper, 40);
    // Paste before any Copy: only the selection moves.
    p.backend->queueMenuChoice({0});
    p.rightClick(ux, uy);
    EXPECT_EQ(p.bank(0)->patches[40].name, "Alpha 040");
    EXPECT_EQ(p.view->selectedUpper, 40);
    EXPECT_EQ(p.editor()->GetParam(kBankEditUnsaved)->Value(), 0.0);

    auto [lx, ly] = p.at(kLower, 12);
    p.backend->queueMenuChoice({0});
    p.rightClick(lx, ly);
    EXPECT_EQ(p.view->clipboard, 1);
    EXPECT_EQ(p.view->sourceSlot, 12);

    p.backend->queueMenuChoice({0});
    p.rightClick(ux, uy);
    EXPECT_EQ(p.bank(0)->patches[40].name, "Beta 012");
    EXPECT_EQ(p.text(kUpper, 40), "Beta 012");
    EXPECT_EQ(p.editor()->GetParam(kBankEditUnsaved)->Value(), 1.0);
    EXPECT_FALSE(p.editor()->midiManager->libraryPatchRequest.active) << "the request is disarmed again";

    // The slot recorded by Copy is read from the lower pane's bank at Paste.
    p.librarian->selectedBankLower = 0;
    auto [u2x, u2y] = p.at(kUpper, 41);
    p.backend->queueMenuChoice({0});
    p.rightClick(u2x, u2y);
    EXPECT_EQ(p.bank(0)->patches[41].name, "Alpha 012");

    // A program without messages pastes nothing, but the bank counts as edited.
    p.bank(0)->patches[12] = LibrarianPatch();
    p.backend->queueMenuChoice({0});
    p.rightClick(ux, uy);
    EXPECT_EQ(p.bank(0)->patches[40].name, "Beta 012");
}

TEST(LibViewCopyPaste, ACopyBesideEverySlotLeavesNothingToPaste) {
    LibrarianPage p;
    p.backend->queueMenuChoice({0});
    p.rightClick(p.rect(kLower, 0).L - 10, p.rect(kLower, 0).T + 5);
    EXPECT_EQ(p.view->sourceSlot, -1);
    EXPECT_EQ(p.view->clipboard, 0);
    auto [ux, uy] = p.at(kUpper, 2);
    p.backend->queueMenuChoice({0});
    p.rightClick(ux, uy);
    EXPECT_EQ(p.bank(0)->patches[2].name, "Alpha 002");
    EXPECT_EQ(p.editor()->GetParam(kBankEditUnsaved)->Value(), 0.0);
    EXPECT_FALSE(p.editor()->midiManager->libraryPatchRequest.active);
}

TEST(LibViewRename, RenameShowsTheNameEntryForAProgramAndTheEntryRenamesIt) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    auto [x, y] = p.at(kUpper, 8);
    p.backend->queueMenuChoice({2});
    p.rightClick(x, y);
    EXPECT_FALSE(e->renameIdle);
    EXPECT_TRUE(p.rename->IsVisible());
    EXPECT_STREQ(e->GetParam(kPatchRename)->GetDisplayText(0), "Alpha 008");

    // The entry's text renames the program, in its dump too.
    e->GetParam(kPatchRename)->SetDisplayText(0, "Brass Lead 1");
    e->OnParamChange(kPatchRename);
    EXPECT_EQ(p.bank(0)->patches[8].name, "Brass Lead 1");
    EXPECT_EQ(p.text(kUpper, 8), "Brass Lead 1");
    EXPECT_TRUE(e->renameIdle);
    EXPECT_FALSE(p.rename->IsVisible());

    // An empty slot offers no name to edit; a short bank grows to 128 first.
    p.bank(0)->patches.resize(100);
    p.editor()->updatePatchLibrarianView(0);
    auto [ex, ey] = p.at(kUpper, 110);
    p.backend->queueMenuChoice({2});
    p.rightClick(ex, ey);
    EXPECT_EQ(p.bank(0)->patches.size(), 128u);
    EXPECT_FALSE(p.rename->IsVisible());
}

TEST(LibViewRequests, ARequestedProgramLandsInTheRightClickedSlot) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    MIDIMessageManager* m = e->midiManager;
    e->midiOutReady = true;
    p.clickSlot(kUpper, 5);
    auto [x, y] = p.at(kUpper, 9);
    // Request > Program by Slot: the program number is the key cursor's.
    p.backend->queueMenuChoice({5, 1});
    p.rightClick(x, y);
    EXPECT_EQ(p.jobCode(), uint32_t(MIDIMessageSender::kJobRequestSinglePatch));
    EXPECT_FALSE(m->sender->tempProgram);
    EXPECT_EQ(e->librarianKeyCursor(), 5);
    EXPECT_EQ(p.librarian->selectedSlotUpper, 9);
    EXPECT_EQ(p.programChanges(), (std::vector<coretest::Msg>{{0xC0, 5, 0}}));

    // The instrument's answer, into slot 9.
    e->SetLibrarianRequestActive(true);
    libtest::Bytes dump = libviewtest::namedDump("From Synth");
    ISysEx sysex(0, dump.data(), static_cast<int>(dump.size()));
    e->ProcessSysEx(&sysex, true);
    EXPECT_EQ(p.bank(0)->patches[9].name, "From Synth");
    EXPECT_EQ(p.text(kUpper, 9), "From Synth");
    EXPECT_EQ(p.bank(0)->patches[5].name, "Alpha 005");

    // Temp from Hardware asks for the current program.
    p.backend->queueMenuChoice({5, 0});
    p.rightClick(x, y);
    EXPECT_EQ(p.jobCode(), uint32_t(MIDIMessageSender::kJobRequestSinglePatch));
    EXPECT_TRUE(m->sender->tempProgram);
    EXPECT_TRUE(p.programChanges().empty()) << "the current program: no program change first";

    // Initialize, on a slot past the end of a short bank: the bank grows to
    // 128 and the slot gets the init program with a blank name.
    p.bank(0)->patches.resize(100);
    auto [ix, iy] = p.at(kUpper, 110);
    p.backend->queueMenuChoice({4});
    p.rightClick(ix, iy);
    EXPECT_EQ(p.jobCode(), uint32_t(MIDIMessageSender::kJobInitClassicPatch));
    EXPECT_FALSE(m->sender->initArg);
    ASSERT_TRUE(p.transfersDone());
    ASSERT_EQ(p.bank(0)->patches.size(), 128u);
    EXPECT_EQ(p.bank(0)->patches[110].name, std::string(12, ' '));
    EXPECT_EQ(p.bank(0)->patches[110].sysexMessages.at(0).data.size(), 297u);
    EXPECT_EQ(p.bank(0)->patches[9].name, "From Synth");
}

}  // namespace

// The toolkit's window object: what an HWND of the toolkit stands for. Every
// child window, dialog pane and top-level content is a Shim_vHalvoran_hwnd, a
// platform view with a window procedure, a dialog procedure, user data,
// extra-data words, properties, timers and painting through WM_PAINT.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "platform/appkit/Controls.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/View.h"
#include "platform/controls/Delegates.h"
#include "shim/shim-gdi-window.h"
#include "shim/shim-object.h"

// One dialog resource; the records form a list.
struct SHIM_DialogResourceIndex {
    const char* resid;
    const char* title;
    // 1 child, 2 resizable, 4 flipped, 8 no size-to-fit, 0x10 opaque, 0x20 accepts dropped files.
    int windowTypeFlags;
    void (*createFunc)(HWND, int);
    int width;
    int height;
    SHIM_DialogResourceIndex* _next;
};

// The menu code's part in a window's life: it sets these; unset entries do
// nothing.
struct SHIM_MenuHooks {
    void (*setMenuDestination)(HMENU menu, HWND window);  // null window: detach
    void (*releaseMenu)(HMENU menu);
    HMENU (*getMainMenu)();
    void (*setMainMenu)(HMENU menu);  // null clears it
};
extern SHIM_MenuHooks SHIM_menuHooks;

// A GL context a view can carry; the GL code implements it.
class SHIM_GLContext {
public:
    virtual ~SHIM_GLContext() = default;
    virtual void bindToView(platform::appkit::View* v) = 0;
    virtual void makeCurrent() = 0;
    virtual void update() = 0;
    virtual bool isCurrent() const = 0;
    virtual void clearCurrent() = 0;
};

// One window property; the list is newest first.
struct WindowPropRec {
    char* name;  // below 0x10000: an integer key; otherwise an owned string
    void* data;
    WindowPropRec* _next;
};

class Shim_vHalvoran_hwnd : public platform::appkit::View,
                            public SHIM_Object,
                            public SHIM_PaintInfoSource,
                            public platform::appkit::MenuActionTarget,
                            public platform::appkit::MenuDelegate,
                            public platform::appkit::ActionTarget,
                            public platform::controls::TextDelegate,
                            public platform::controls::ComboBoxDelegate,
                            public platform::controls::TableViewDelegate {
public:
    // Creation (initChild:Parent:dlgProc:Param:): from a resource record or
    // without one (300 x 200), attached to the parent, with WM_CREATE or
    // WM_INITDIALOG as the Part of the toolkit's life it starts. Owned by
    // its superview or window; without a parent, by the caller.
    static Shim_vHalvoran_hwnd* initChild(const SHIM_DialogResourceIndex* r, HWND parent, DLGPROC d, LPARAM lp);
    ~Shim_vHalvoran_hwnd() override;

    // SHIM_Object
    uint64_t shimAnswers() const override;
    LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    WNDPROC getShimWindowProc() const override { return m_wndproc; }
    void setShimWindowProc(WNDPROC p) override { m_wndproc = p; }
    DLGPROC getShimDialogProc() const override { return m_dlgproc; }
    void setShimDialogProc(DLGPROC p) override { m_dlgproc = p; }
    LONG_PTR getShimUserData() const override { return m_userdata; }
    void setShimUserData(LONG_PTR v) override { m_userdata = v; }
    LONG getShimExtraData(int offset) const override;
    void setShimExtraData(int offset, LONG value) override;
    int tag() const override { return m_tag; }
    void setTag(int t) override { m_tag = t; }
    LONG shimGetExtendedStyle() const override { return m_supports_ddrop ? WS_EX_ACCEPTFILES : 0; }
    void shimSetExtendedStyle(LONG v) override {
        m_supports_ddrop = (v & WS_EX_ACCEPTFILES) != 0;
        registerForDraggedFiles(m_supports_ddrop);
    }
    const char* onShimGetText() const override { return m_titlestr; }
    void onShimSetText(const char* text) override;
    BOOL shimSetProp(const char* name, void* value) override;
    void* shimGetProp(const char* name, bool wantRemove) override;
    int shimEnumProps(PROPENUMPROCEX proc, LPARAM lp) override;
    void SHIM_Timer(UINT_PTR id) override;
    bool shimCanPostMessage() const override { return m_hashaddestroy.load() == 0; }
    bool shimHasBeenDestroyed() const override { return m_hashaddestroy.load() != 0; }
    int shimCapChangeNotify() const override { return 1; }
    unsigned shimCreateWindowFlags() const override { return m_create_windowflags; }
    // The content view of a top-level window takes its frame along.
    void setEnabled(bool e) override;
    HMENU shimGetMenu() const override { return m_menu; }
    void shimSetMenu(HMENU menu) override;
    HWND lastTopLevelOwner() const override { return m_lastTopLevelOwner; }
    void setLastTopLevelOwner(HWND h) override { m_lastTopLevelOwner = h; }

    // SHIM_PaintInfoSource
    void getShimPaintInfo(PAINTSTRUCT* ps) override;

    // Menus whose destination it is: a picked command item becomes
    // WM_COMMAND, a menu about to show WM_INITMENUPOPUP.
    bool respondsToMenuAction(const std::string& action) const override;
    void performMenuAction(const std::string& action, platform::appkit::Menu& menu, int index) override;
    void menuNeedsUpdate(platform::appkit::Menu& menu) override;

    // View
    bool isOpaque() const override { return m_isopaque; }
    bool isFlipped() const override { return m_flip; }
    void setOpaque(bool o) { m_isopaque = o; }
    bool isEnabled() const { return m_enabled; }
    void frameDidChange(const platform::appkit::FRect& old) override;
    void hiddenDidChange() override;
    void didAddSubview(platform::appkit::View* v) override;
    void willRemoveSubview(platform::appkit::View* v) override;
    void drawRect(platform::appkit::Canvas& canvas, const platform::appkit::Rect& dirty) override;

    // Input (shim-dlg-input.cpp): mouse, wheel, keys, gestures and drops as
    // window messages.
    void mouseDown(const platform::appkit::Event& e) override;
    void mouseUp(const platform::appkit::Event& e) override;
    void mouseDragged(const platform::appkit::Event& e) override;
    void mouseMoved(const platform::appkit::Event& e) override;
    void scrollWheel(const platform::appkit::Event& e) override;
    bool keyDown(const platform::appkit::Event& e) override;
    bool keyUp(const platform::appkit::Event& e) override;
    void gesture(const platform::appkit::Event& e) override;
    bool acceptsFirstResponder() const override { return m_enabled; }
    // Refused while disabled; a view that had not the focus hears
    // WM_MOUSEACTIVATE first.
    bool becomeFirstResponder() override;
    int draggingEntered(const platform::appkit::DragInfo& d) override;
    int draggingUpdated(const platform::appkit::DragInfo& d) override;
    void draggingExited(const platform::appkit::DragInfo& d) override;
    bool performDragOperation(const platform::appkit::DragInfo& d) override;
    // The drop worker: with wantBlock the dropped-file block for the caller
    // to free (null when the drag holds no files), else WM_DROPFILES to this
    // view and whether it was sent.
    HGLOBAL shimExtendedDragOp(const platform::appkit::DragInfo& d, bool wantBlock, bool* done);
    // The accessibility object the window procedure offers (WM_GETOBJECT),
    // and whether the view stands aside for it.
    void* shimAccessibilityObject();
    bool shimAccessibilityIgnored();

    // The view needs a full repaint (bit 0) and its enclosing toolkit views
    // learn that a descendant does (bit 1), as invalidation does.
    void markDirty();
    // Bit 1 on the toolkit views from `from` upward, up to the first that has it.
    static void markDescendantDirty(platform::appkit::View* from);
    // Paints the view into a context (view coordinates) over a rectangle of
    // its own coordinates: the non-client pass, then WM_PAINT.
    void paintOneView(const platform::appkit::FRect& r, HDC c);
    HWND handle() { return static_cast<platform::appkit::Responder*>(this); }

    // As the target and delegate of the controls in it, the view turns
    // their actions and callbacks into WM_COMMAND, WM_NOTIFY and WM_HSCROLL.
    bool respondsToAction(const std::string& selector) const override;
    void performAction(const std::string& selector, platform::appkit::Responder* sender) override;
    void onShimCommand(platform::appkit::Responder* sender);
    void shimOnControlDoubleClick(platform::appkit::Responder* sender);
    void controlTextDidChange(platform::appkit::Responder* sender) override;
    void textDidChange(platform::controls::TextView* sender) override;
    void textDidEndEditing(platform::controls::TextView* sender) override;
    void comboBoxWillPopUp(platform::controls::ComboBox* sender) override;
    void comboBoxSelectionDidChange(platform::controls::ComboBox* sender) override;
    void tableViewSelectionDidChange(platform::controls::TableView* sender) override;
    void tableViewDidClickTableColumn(platform::controls::TableView* sender,
                                      platform::controls::TableColumn* column) override;
    void tableViewWillDisplayCell(platform::controls::TableView* sender, platform::controls::Cell* cell,
                                  platform::controls::TableColumn* column, int row) override;
    SHIM_GLContext* glContext() const { return m_glctx; }
    // Takes the context over; it is released with the view.
    void setGLContext(SHIM_GLContext* c);

    // Fields, in the order the toolkit keeps them.
    uint8_t m_enabled = 1;
    DLGPROC m_dlgproc = nullptr;
    WNDPROC m_wndproc;
    LONG_PTR m_userdata = 0;
    std::array<LONG, 32> m_extradata{};
    int m_tag = 0;
    int m_isfakerightmouse = 0;
    // 0 alive, 1 in WM_DESTROY, 2 destroyed; read by posting threads.
    std::atomic<uint8_t> m_hashaddestroy{0};
    HMENU m_menu = nullptr;
    bool m_flip = true;
    bool m_supports_ddrop = false;
    bool m_paintctx_used = false;
    HDC m_paintctx_hdc = nullptr;
    WindowPropRec* m_props = nullptr;
    platform::appkit::FRect m_paintctx_rect;
    bool m_isopaque = true;
    char m_titlestr[1024] = {};
    unsigned m_create_windowflags = 0;
    SHIM_GLContext* m_glctx = nullptr;
    uint8_t m_isdirty = 3;
    HWND m_lastTopLevelOwner = nullptr;
    std::array<void*, 6> m_access_cacheptrs{};

protected:
    void displayTree(platform::appkit::Canvas& canvas, const platform::appkit::Rect& dirtyInWindow) override;

private:
    Shim_vHalvoran_hwnd(int w, int h);
    LRESULT destroy(WPARAM wp, LPARAM lp);
    void onePassDisplay(platform::appkit::Canvas& canvas, const platform::appkit::Rect& dirtyInWindow);
};

// The window procedure of every new window object: the dialog procedure's
// answer, with the background painted before WM_PAINT and DefWindowProc
// for what the dialog procedure leaves (answers 0).
LRESULT ShimDialogDefaultWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

// Gives the view's image buttons, static texts and boxes the colours the
// dialog procedure answers WM_CTLCOLORBTN and WM_CTLCOLORSTATIC with.
void SHIM_DoDialogColorUpdates(HWND h, DLGPROC d, bool isUpdate);

// A top-level frame whose content is the view (sized to it), with a style
// mask of the platform (1 titled, 2 closable, 4 miniaturizable, 8
// resizable), placed 50 points right of and 100 below the owner's window (or
// the screen's usable area) and owned by it when it keeps owned windows.
// The frame is deleted once closed. Null when child is not a view.
HWND SHIM_CreateModelessFrameForWindow(HWND child, HWND owner, int styleMask);

// The toolkit's window object behind a live handle, or null.
Shim_vHalvoran_hwnd* SHIM_WindowObjectOf(HWND h);

// The platform version the toolkit behaves as (0x1060: 10.6).
constexpr int SHIM_PlatformVersion() { return 0x1060; }

// Deletes a view at the main run loop's next pass (a view taken out of its
// tree while its own procedure may still be running).
void SHIM_ReleaseView(platform::appkit::View* v);

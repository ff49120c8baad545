// The hot paths allocate nothing: the mouse hook runs for every mouse event of the desktop and
// the hotkeys at the keyboard's repeat rate. A counting allocator watches the call under test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "control/hotkeys.h"
#include "control/mouse_hook.h"
#include "control/window_actions.h"
#include "platform/session.h"
#include "simulated_desktop.h"

using namespace platform;

// On glibc the C allocator can be counted too, by standing in front of it; the sanitizers bring
// allocators of their own, so there only operator new is watched.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define TABRIN_COUNTS_MALLOC 1
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
#endif

namespace {

// Only the call under test is counted: gtest and the simulated desktop allocate freely around it.
bool counting = false;
int allocations = 0;

void* countedAllocation(std::size_t size) {
    if (counting) ++allocations;
#ifdef TABRIN_COUNTS_MALLOC
    return __libc_malloc(size ? size : 1);  // counted once, here
#else
    return std::malloc(size ? size : 1);
#endif
}

// Counts the allocations `call` makes.
template <typename Call>
int allocationsDuring(Call call) {
    allocations = 0;
    counting = true;
    call();
    counting = false;
    return allocations;
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = countedAllocation(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#ifdef TABRIN_COUNTS_MALLOC
extern "C" {
void* malloc(std::size_t size) {
    if (counting) ++allocations;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    if (counting) ++allocations;
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    if (counting) ++allocations;
    return __libc_realloc(p, size);
}
}
#endif

TEST(Allocation, TheCounterSeesWhatItMustCatch) {
    std::string* text = nullptr;
    EXPECT_EQ(allocationsDuring([&] { text = new std::string(100, 'x'); }), 2);
    delete text;
#ifdef TABRIN_COUNTS_MALLOC
    void* block = nullptr;
    EXPECT_EQ(allocationsDuring([&] { block = std::malloc(16); }), 1);
    std::free(block);
#endif
}

TEST(Allocation, TheMouseHookAllocatesNothing) {
    struct Case {
        const char* name;
        std::initializer_list<int> keys;
        unsigned message;
        short wheelDelta;
        bool passedOn;
        bool moves;
    };
    const Case cases[] = {
        {"a move passed on", {}, WM_MOUSEMOVE, 0, true, false},
        {"a click with Ctrl+Alt passed on", {VK_CONTROL, VK_MENU}, WM_LBUTTONDOWN, 0, true, false},
        {"a move withheld", {VK_LWIN, VK_CONTROL}, WM_MOUSEMOVE, 0, false, false},
        {"Win+Ctrl wheel", {VK_LWIN, VK_CONTROL}, WM_MOUSEWHEEL, -120, false, true},
        {"Win+Alt right button", {VK_RWIN, VK_MENU}, WM_RBUTTONDOWN, 0, false, true},
    };
    for (bool watching : {false, true})
    for (const Case& c : cases) {
        SimulatedDesktop desk;
        if (watching) {
            mainWindow = desk.addWindow("TabrIN", {0, 0, 0, 0}, false, "TabrINWndClass");
            startMouseGestures();
        }
        installMouseHook();
        WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
        desk.focus(editor);
        desk.hold(c.keys);
        desk.makeBusy(editor);
        moveWindowBy(editor, 0, 0);  // a step still waiting: the next one starts from it
        // The simulation's own records must not be what allocates.
        desk.records.keyReads.reserve(16);
        desk.windows[editor].waitingPositions.reserve(4);
        desk.records.logCalls = false;
        MouseEvent event = {};
        event.mouseData = static_cast<std::uint32_t>(static_cast<std::uint16_t>(c.wheelDelta)) << 16;

        EXPECT_EQ(allocationsDuring([&] {
                      mouseHookProc(HC_ACTION, c.message, reinterpret_cast<LParam>(&event));
                  }),
                  0)
            << c.name;
        // The case took the path its name says, so the zero above is about that path.
        EXPECT_EQ(desk.records.passedOn, c.passedOn ? 1 : 0) << c.name;
        desk.answer(editor);
        EXPECT_EQ(desk.rectOf(editor) != (Rect{100, 100, 900, 700}), c.moves) << c.name;
        // A withheld event asks for the mask key; watching, a passed one for the hook's removal.
        EXPECT_EQ(desk.queue.size(), !c.passedOn || watching ? 1u : 0u) << c.name;
    }
}

TEST(Allocation, TheRawKeyHandlerAllocatesNothing) {
    struct Case {
        const char* name;
        std::initializer_list<int> keys;  // held before the gestures start
        int key;
        bool up;
        bool armedAfter;
    };
    const Case cases[] = {
        {"a letter", {}, 'A', false, false},
        {"Win alone", {}, VK_LWIN, false, false},
        {"Ctrl making Win+Ctrl", {VK_LWIN}, VK_CONTROL, false, true},
        {"Alt let go", {VK_LWIN, VK_MENU}, VK_MENU, true, false},
    };
    for (const Case& c : cases) {
        SimulatedDesktop desk;
        mainWindow = desk.addWindow("TabrIN", {0, 0, 0, 0}, false, "TabrINWndClass");
        desk.hold(c.keys);
        startMouseGestures();
        desk.records.logCalls = false;  // the simulation's own records must not be what allocates
        desk.records.keyReads.reserve(16);
        desk.hooks.reserve(4);
        RawKeyboardInput input = {};
        input.header.dwType = RIM_TYPEKEYBOARD;
        input.header.dwSize = sizeof input;
        input.keyboard.VKey = static_cast<std::uint16_t>(c.key);
        input.keyboard.Flags = c.up ? RI_KEY_BREAK : 0;

        EXPECT_EQ(allocationsDuring([&] { onRawInput(reinterpret_cast<LParam>(&input)); }), 0)
            << c.name;
        EXPECT_EQ(desk.hooksInstalled(), c.armedAfter ? 1 : 0) << c.name;
    }
}

TEST(Allocation, HotkeysAllocateNothing) {
    for (int id : {kHotkeyMoveRight, kHotkeyResizeLeft, kHotkeyCenter}) {
        SimulatedDesktop desk;
        desk.records.logCalls = false;  // the simulation's own records must not be what allocates
        WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
        desk.focus(editor);
        EXPECT_EQ(allocationsDuring([&] { onHotkey(id); }), 0) << "hotkey " << id;
        EXPECT_NE(desk.rectOf(editor), (Rect{100, 100, 900, 700})) << "hotkey " << id;
    }
    SimulatedDesktop desk;  // and an edit of tabrin.ini registers them all again
    desk.records.logCalls = false;
    desk.hotkeys.reserve(kActionCount);
    EXPECT_EQ(allocationsDuring([] { unregisterHotkeys(); registerHotkeys(); }), 0);
    EXPECT_EQ(desk.hotkeys.size(), std::size_t{kActionCount});
}

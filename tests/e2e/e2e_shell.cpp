// Start-up and shut-down of tabrin.exe: single copy, closing from outside,
// where the settings file is looked for.
#include "harness.h"

using namespace e2e;

namespace {

void expectExitCode(Tabrin& tabrin, DWORD expected, const std::string& after) {
    DWORD code = tabrin.waitExit();
    if (code != expected)
        fail("exit code " + str(static_cast<long>(expected)) + " after " + after,
             str(static_cast<long>(code)));
}

void expectRunning(const Tabrin& tabrin, const std::string& after) {
    // Give a wrongly ending process the time to end before judging.
    if (waitUntil([&] { return !tabrin.running(); }, kSettleMs))
        fail("tabrin still running after " + after, "it exited");
    if (!IsWindow(tabrin.mainWindow()))
        fail("its main window still there after " + after, "it gone");
}

// Moves a titled window with Win+Ctrl+Right and returns how far it went.
long rightStepOf(const TempDir& exeDir, const TempDir& cwd) {
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    const RECT start = rect(200, 150, 600, 450);
    TestWindow target("Step probe", start);
    target.makeForeground();
    pressCombo(kWin | kCtrl, VK_RIGHT);
    waitUntil([&] { return target.rect() != start; }, kTimeoutMs);
    // Let a move that was not yet finished land before reading the result.
    pumpFor(200);
    RECT now = target.rect();
    if (now.top != start.top || now.right - now.left != start.right - start.left)
        fail("a horizontal move of " + str(start), str(now));
    tabrin.closeCleanly();
    return now.left - start.left;
}

}  // namespace

E2E_CASE("shell.second_copy_refused") {
    TempDir exeDir, cwd;
    Tabrin first;
    first.startReady(exeDir, cwd);

    Tabrin second;
    second.start(exeDir, cwd);
    MessageBoxSeen box = waitForMessageBox(second.pid());
    if (box.caption != "Error") fail("caption \"Error\"", quoted(box.caption));
    const std::string text = "Tabrin is already running.\nClose the current instance first.";
    if (box.text != text) fail("text " + quoted(text), quoted(box.text));
    if (findWindowOf(second.pid(), kMainClass))
        fail("no main window in the refused copy", "one");
    if (!second.running()) fail("the refused copy waiting for its box", "it exited");
    dismissMessageBox(box.window);
    expectExitCode(second, 0, "the box was dismissed");
    expectRunning(first, "a second copy was refused");
    first.closeCleanly();
}

E2E_TABRIN_CASE("shell.wm_close_exits_0") {
    PostMessageA(tabrin.mainWindow(), WM_CLOSE, 0, 0);
    expectExitCode(tabrin, 0, "WM_CLOSE");
}

E2E_TABRIN_CASE("shell.command_2_exits_0") {
    PostMessageA(tabrin.mainWindow(), WM_COMMAND, IDCANCEL, 0);
    expectExitCode(tabrin, 0, "WM_COMMAND 2");
}

// Only the low 16 bits are the command; the high word is a notification code.
E2E_TABRIN_CASE("shell.command_2_with_notification_code_exits_0") {
    PostMessageA(tabrin.mainWindow(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0);
    expectExitCode(tabrin, 0, "WM_COMMAND 0x10002");
}

E2E_TABRIN_CASE("shell.other_commands_keep_running") {
    // 0x20001: command 1 with notification code 2, which must not read as 2.
    for (WPARAM command : {WPARAM(1), WPARAM(5), WPARAM(0x20001)}) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(tabrin.mainWindow(), WM_COMMAND, command, 0, SMTO_NORMAL,
                            kTimeoutMs, &ignored);
        expectRunning(tabrin, "WM_COMMAND " + str(static_cast<long>(command)));
    }
    tabrin.closeCleanly();
}

E2E_CASE("shell.restarts_after_clean_exit") {
    TempDir exeDir, cwd;
    {
        Tabrin first;
        first.startReady(exeDir, cwd);
        first.closeCleanly();
    }
    Tabrin again;
    again.start(exeDir, cwd);
    bool ready = waitUntil([&] {
        return findWindowOf(again.pid(), kMainClass, kMainTitle) != nullptr ||
               findWindowOf(again.pid(), "#32770") != nullptr || !again.running();
    }, 10000);
    if (!ready || !findWindowOf(again.pid(), kMainClass, kMainTitle))
        fail("the new copy running with its window",
             findWindowOf(again.pid(), "#32770") ? "a message box" : "no window");
    PostMessageA(findWindowOf(again.pid(), kMainClass, kMainTitle), WM_CLOSE, 0, 0);
    expectExitCode(again, 0, "WM_CLOSE");
}

E2E_CASE("shell.ignores_its_command_line") {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd, "/?  --stepsize=50 -h");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("shell.creates_no_settings_file") {
    if (exeDir.exists("tabrin.ini")) fail("no tabrin.ini beside the exe at start-up", "one");
    if (cwd.exists("tabrin.ini")) fail("no tabrin.ini in the current folder at start-up", "one");
    tabrin.closeCleanly();
    if (exeDir.exists("tabrin.ini") || cwd.exists("tabrin.ini"))
        fail("no tabrin.ini after exit", "one");
}

E2E_CASE("shell.settings_beside_exe_are_read") {
    TempDir exeDir, cwd;
    exeDir.write("tabrin.ini", "stepsize=7\r\n");
    long step = rightStepOf(exeDir, cwd);
    if (step != 7) fail("a step of 7 from tabrin.ini beside the exe", str(step));
}

E2E_CASE("shell.settings_in_current_folder_ignored") {
    TempDir exeDir, cwd;
    cwd.write("tabrin.ini", "stepsize=50\r\ninvertarrows=1\r\n");
    long step = rightStepOf(exeDir, cwd);
    if (step != 20) fail("the default step 20 (tabrin.ini only in the current folder)", str(step));
}

// The shell: tray icons, Explorer restarts, icons at the display's scale, menus and boxes.
#include "simulated_desktop.h"

#include "simulated_internal.h"

using namespace platform;
using namespace simulated;

namespace {

const char* flagName(unsigned message) {
    return message == NIM_ADD ? "ADD" : message == NIM_MODIFY ? "MODIFY" : "DELETE";
}

bool findItem(MenuHandle menu, unsigned id, SimulatedDesktop::MenuItem** found) {
    auto it = desk().menus.find(menu);
    if (it == desk().menus.end()) return false;
    for (SimulatedDesktop::MenuItem& item : it->second) {
        if (item.flags & MF_POPUP) {
            if (findItem(reinterpret_cast<MenuHandle>(item.id), id, found)) return true;
        } else if (!(item.flags & MF_SEPARATOR) && item.id == id) {
            *found = &item;
            return true;
        }
    }
    return false;
}

}  // namespace

void SimulatedDesktop::clickTrayIcon(unsigned id, unsigned mouseMessage) {
    auto icon = trayIcons.find(id);
    if (icon == trayIcons.end()) return;
    const WindowHandle host = trayIconHost ? trayIconHost : FindWindowA("Shell_TrayWnd", nullptr);
    if (host) foreground = host;
    send(icon->second.hWnd, icon->second.uCallbackMessage, id, mouseMessage);
}

bool SimulatedDesktop::isChecked(MenuHandle menu, unsigned id) const {
    MenuItem* item = nullptr;
    return findItem(menu, id, &item) && item->checked;
}

void SimulatedDesktop::restartExplorer() {
    trayIcons.clear();
    const unsigned message = RegisterWindowMessageA("TaskbarCreated");
    for (WindowHandle window : std::vector<WindowHandle>(zOrder)) {
        if (!windows.count(window) || !windows[window].proc) continue;
        if (faults.elevated && !messagesAllowed.count({window, message})) continue;
        send(window, message, 0, 0);
    }
}

namespace platform {

std::uintptr_t SHAppBarMessage(std::uint32_t message, AppBarData* data) {
    const WindowHandle taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (data->cbSize != sizeof(AppBarData) || !taskbar) return 0;  // no shell to answer
    if (message == ABM_GETSTATE) return desk().taskbarsAutoHide ? ABS_AUTOHIDE : 0;
    if (message == ABM_GETTASKBARPOS) data->rc = desk().rectOf(taskbar);  // shown or hidden
    return message == ABM_GETTASKBARPOS;
}

bool Shell_NotifyIconA(unsigned message, NotifyIconData* data) {
    desk().records.calls.push_back(std::string("Shell_NotifyIconA ") + flagName(message));
    auto& icons = desk().trayIcons;
    const bool busy = desk().now < desk().faults.shellBusyUntil;
    if (message == NIM_ADD) {
        desk().records.iconAdds.push_back(desk().now);
        if (busy || icons.count(data->uID)) return false;
        icons[data->uID] = *data;
        if (desk().faults.addsTimingOut > 0) return --desk().faults.addsTimingOut, false;
        return true;
    }
    if (message == NIM_MODIFY) {
        if (busy || !icons.count(data->uID)) return false;
        icons[data->uID] = *data;
        return true;
    }
    if (message == NIM_DELETE) return icons.erase(data->uID) == 1;
    return false;
}

bool ChangeWindowMessageFilterEx(WindowHandle window, unsigned message, std::uint32_t action,
                                 void*) {
    if (!desk().faults.hasMessageFilterEx || !find(window)) return false;
    if (action == MSGFLT_ALLOW) desk().messagesAllowed.insert({window, message});
    return true;
}

int GetSystemMetrics(int index) {
    return index == SM_CXSMICON || index == SM_CYSMICON ? desk().smallIconSize : 0;
}

unsigned GetDpiForWindow(WindowHandle window) {
    SimulatedDesktop::Window* w = find(window);
    return desk().faults.hasDpiFunctions && w ? w->dpi : 0;
}

int GetSystemMetricsForDpi(int index, unsigned dpi) {
    if (!desk().faults.hasDpiFunctions || (index != SM_CXSMICON && index != SM_CYSMICON)) return 0;
    return static_cast<int>(16 * dpi / 96);
}

IconHandle LoadImageA(InstanceHandle, int resource, unsigned type, int cx, int cy, unsigned) {
    if (type != IMAGE_ICON) return nullptr;
    // Windows picks the closest image of the group and scales it to exactly cx by cy.
    IconHandle icon = newHandle<IconHandle>();
    desk().icons[icon] = SimulatedDesktop::Icon{resource, cx, cy};
    return icon;
}

bool DestroyIcon(IconHandle icon) { return desk().icons.erase(icon) == 1; }

MenuHandle CreatePopupMenu() {
    desk().records.calls.push_back("CreatePopupMenu");
    MenuHandle menu = newHandle<MenuHandle>();
    desk().menus[menu];
    return menu;
}

bool AppendMenuA(MenuHandle menu, unsigned flags, std::uintptr_t idOrSubmenu, const char* label) {
    auto it = desk().menus.find(menu);
    if (it == desk().menus.end()) return false;
    it->second.push_back(
        SimulatedDesktop::MenuItem{flags, idOrSubmenu, label ? label : "", (flags & MF_CHECKED) != 0});
    return true;
}

long CheckMenuItem(MenuHandle menu, unsigned id, unsigned check) {
    desk().records.calls.push_back("CheckMenuItem " + std::to_string(id));
    SimulatedDesktop::MenuItem* item = nullptr;
    if (!findItem(menu, id, &item)) return -1;
    const long previous = item->checked ? MF_CHECKED : MF_UNCHECKED;
    item->checked = (check & MF_CHECKED) != 0;
    return previous;
}

int TrackPopupMenu(MenuHandle menu, unsigned flags, int x, int y, int, WindowHandle owner,
                   const Rect*) {
    desk().records.popups.push_back(
        SimulatedDesktop::Popup{menu, flags, x, y, owner, desk().foreground});
    // Windows leaves the foreground where the menu found it (or where the user's click put it).
    if (desk().whileMenuOpen) desk().whileMenuOpen();
    if (desk().menuChoices.empty()) return 0;
    const int choice = desk().menuChoices.front();
    desk().menuChoices.pop_front();
    return choice;
}

int MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned type) {
    desk().records.calls.push_back("MessageBoxA");
    desk().records.boxes.push_back(SimulatedDesktop::Box{owner, text, caption, type});
    if (desk().whileBoxOpen) desk().whileBoxOpen();
    if (!desk().boxAnswers.empty()) {
        const int answer = desk().boxAnswers.front();
        desk().boxAnswers.pop_front();
        return answer;
    }
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

IconHandle LoadIconA(InstanceHandle, int resource) {
    return reinterpret_cast<IconHandle>(static_cast<std::uintptr_t>(0x10000 + resource));
}

CursorHandle LoadCursorA(InstanceHandle, int resource) {
    return reinterpret_cast<CursorHandle>(static_cast<std::uintptr_t>(0x20000 + resource));
}

}  // namespace platform

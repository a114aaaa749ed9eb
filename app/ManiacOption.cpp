#include "app/ManiacOption.h"

#include "platform/Profile.h"

namespace Model {

void CManiacOption::Load(const std::string& path) {
    hideTaskTrayIcon = platform::GetPrivateProfileInt("option", "hide_task_tray_icon", 0, path);
    showBottomBar = platform::GetPrivateProfileInt("option", "show_bottom_bar", 0, path);
    disableTransparencyWhileMouseOver =
        platform::GetPrivateProfileInt("option", "disable_transparency_while_mouse_over", 0, path);
}

}  // namespace Model

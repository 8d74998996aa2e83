// The program's icon in the notification area.
#pragma once

#include <functional>
#include <string_view>

namespace wd::platform {

// What the mouse did on the icon.
enum class TrayMouse {
    Move,
    LeftDown,
    LeftUp,
    LeftDoubleClick,
    RightDown,
    RightUp,
    RightDoubleClick,
    MiddleDown,
    MiddleUp,
    MiddleDoubleClick,
};

class Tray {
public:
    virtual ~Tray() = default;
    // Adds the icon (id 1, the 16x16 tray image, this tip). False when it is
    // there already or the shell refused it.
    virtual bool add(std::string_view tip) = 0;
    // Removes the icon; false when there was none.
    virtual bool remove() = 0;
    // Brings the window that owns the icon to the foreground.
    virtual void setForeground() = 0;
    // The mouse did something on the icon.
    std::function<void(TrayMouse event)> onMouse;
    // The shell has (re)created the task bar; icons added before are gone.
    std::function<void()> onTaskbarCreated;
};

}  // namespace wd::platform

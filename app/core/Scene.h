#pragma once

namespace vesko {

// The windows the application opens on its own: the welcome window on a
// first run, and the panel when the user starts Vesko again.
class Scene
{
public:
    virtual ~Scene() = default;
    // True when the welcome window was shown.
    virtual bool showWelcomeIfNeeded() = 0;
    virtual void openPanel() = 0;
};

} // namespace vesko

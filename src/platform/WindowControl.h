#pragma once

// What the server's start-up, scan cycle and remote control need of the
// operator's window. The headless server has no window: NoWindow does
// nothing. The window folder implements it on real widgets.
class WindowControl {
public:
    virtual ~WindowControl() = default;
    // Show the window in normal state and bring it to the front.
    virtual void showNormalAndRaise() {}
    // Hide the window (after start-up).
    virtual void hide() {}
    // A minimised window is hidden by the next scan cycle.
    virtual void hideIfMinimised() {}
    // True when there is a window to show.
    [[nodiscard]] virtual bool exists() const { return false; }
};

class NoWindow final : public WindowControl {};

// The window of a server that has none; what ServerContext starts with.
inline WindowControl& noWindow()
{
    static NoWindow none;
    return none;
}

#pragma once

namespace quindra {

// What the main window asks of the program, besides its settings.
class WindowCommands {
public:
    virtual ~WindowCommands() = default;

    // The power button: a shutdown, once the operator confirms it.
    virtual void confirmShutdown() = 0;
    // The window is being closed (its close box, the desktop session); it
    // always may.
    virtual void closeRequested() = 0;
    // A click on the file panel: the views follow the message being played.
    virtual void showPlayerOnViews() = 0;
    // The minimise box, which may send the window to the tray.
    virtual void minimizeBoxPressed() = 0;
    // "Documentação On-line" and the tray's "Manual".
    virtual void openManual() = 0;
};

}  // namespace quindra

#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app_process.h"
#include "screenshot.h"

namespace e2e {

// The Windows form of a path the build gives in Unix form (Wine maps drive Z: to /).
std::string WindowsPath(const std::string& path);
// Veltrun.exe of this build, and the directory for screenshots kept as test artefacts.
std::string VeltrunExePath();
std::string ArtifactsDirectory();

// What a message box shows.
struct MessageBoxView {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    std::vector<WORD> buttonIds;
    HWND icon = nullptr;  // the static icon control, null if the box has none
};

// One running Veltrun.exe with its main dialog, asked and driven from outside.
class VeltrunSession {
public:
    // Starts the program and waits for its main dialog; Dialog() is null if it never came.
    // `arguments` follow the program's name on its command line.
    explicit VeltrunSession(const std::string& arguments = {});

    const AppProcess& Process() const { return *process_; }
    HWND Dialog() const { return dialog_; }
    HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
    std::string Text(int id) const;
    bool SetText(int id, const std::string& text) const;
    bool IsEnabled(int id) const { return ::IsWindowEnabled(Item(id)) != 0; }
    // The focused window of the program's user-interface thread.
    HWND Focus() const;

    // Clicks button `id` and waits until the program has handled the click, or sits in a message
    // box that the click opened.
    bool ClickAndWait(int id) const;
    // Clicks button `id` `count` times in a row, then waits for all of them.
    bool ClickManyAndWait(int id, int count) const;
    // Waits until the program has handled everything posted to it so far.
    bool WaitIdle() const;

    // Ownerless dialogs of the program other than the main one: its message boxes, topmost first.
    std::vector<HWND> MessageBoxes() const;
    // Waits until exactly `count` message boxes are up.
    bool WaitForMessageBoxes(size_t count) const;
    static MessageBoxView Describe(HWND box);
    // Dismisses a message box with its OK button and waits until it is gone.
    static bool DismissWithOk(HWND box);
    // Dialogs owned by the main dialog (the About box), topmost first.
    std::vector<HWND> OwnedDialogs() const;
    // True if the dialog still takes messages and answers them.
    bool IsResponsive() const;
    // Captures `window`, keeps the picture as artefact `name`.png and returns it; nothing if
    // either failed.
    std::optional<Picture> Screenshot(HWND window, const std::string& name) const;

private:
    std::unique_ptr<AppProcess> process_;
    HWND dialog_ = nullptr;
};

}  // namespace e2e

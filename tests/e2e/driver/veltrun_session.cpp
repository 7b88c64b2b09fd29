#include "veltrun_session.h"

#include "input.h"
#include "resource.h"
#include "wait.h"
#include "window_query.h"

namespace e2e {

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string windows = "Z:" + path;
    for (char& c : windows) {
        if (c == '/') {
            c = '\\';
        }
    }
    return windows;
}

std::string VeltrunExePath() {
    return WindowsPath(VELTRUN_EXE);
}

std::string ArtifactsDirectory() {
    return WindowsPath(VELTRUN_ARTIFACTS_DIR);
}

VeltrunSession::VeltrunSession(const std::string& arguments)
    : process_(std::make_unique<AppProcess>(VeltrunExePath(), arguments)) {
    if (!process_->IsRunning()) {
        return;
    }
    WaitUntil([&] {
        for (HWND window : TopLevelWindows(process_->Id())) {
            // Only the main dialog has the input box.
            if (::GetDlgItem(window, IDC_LINK_INPUT) != nullptr) {
                dialog_ = window;
                return true;
            }
        }
        return !process_->IsRunning();
    });
    // The dialog becomes visible before the end of its set-up; one round trip through its queue
    // waits for the rest.
    if (dialog_ != nullptr) {
        WaitIdle();
    }
}

std::string VeltrunSession::Text(int id) const {
    return WindowText(Item(id));
}

bool VeltrunSession::SetText(int id, const std::string& text) const {
    return SetWindowTextOf(Item(id), text);
}

HWND VeltrunSession::Focus() const {
    return FocusOf(process_->ThreadId());
}

bool VeltrunSession::ClickAndWait(int id) const {
    return ClickManyAndWait(id, 1);
}

bool VeltrunSession::ClickManyAndWait(int id, int count) const {
    HWND button = Item(id);
    if (button == nullptr) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        Click(button);
    }
    return WaitIdle();
}

bool VeltrunSession::WaitIdle() const {
    // The program never sets the output box's modified flag.
    return WaitForPostedMessages(Item(IDC_DECODED_OUTPUT));
}

std::vector<HWND> VeltrunSession::MessageBoxes() const {
    std::vector<HWND> boxes;
    for (HWND window : TopLevelWindows(process_->Id())) {
        if (window != dialog_ && Owner(window) == nullptr) {
            boxes.push_back(window);
        }
    }
    return boxes;
}

bool VeltrunSession::WaitForMessageBoxes(size_t count) const {
    return WaitUntil([&] { return MessageBoxes().size() == count; });
}

MessageBoxView VeltrunSession::Describe(HWND box) {
    MessageBoxView view;
    view.window = box;
    view.caption = WindowText(box);
    view.owner = Owner(box);
    for (HWND child : Children(box)) {
        const std::string kind = ClassName(child);
        if (kind == "Button") {
            view.buttonIds.push_back(ControlId(child));
        } else if (kind == "Static") {
            if ((Style(child) & SS_TYPEMASK) == SS_ICON) {
                view.icon = child;
            } else if (view.text.empty()) {
                view.text = WindowText(child);
            }
        }
    }
    return view;
}

bool VeltrunSession::DismissWithOk(HWND box) {
    HWND ok = ::GetDlgItem(box, IDOK);
    if (ok == nullptr) {
        return false;
    }
    Click(ok);
    return WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
}

std::vector<HWND> VeltrunSession::OwnedDialogs() const {
    std::vector<HWND> owned;
    for (HWND window : TopLevelWindows(process_->Id())) {
        if (Owner(window) == dialog_) {
            owned.push_back(window);
        }
    }
    return owned;
}

bool VeltrunSession::IsResponsive() const {
    return process_->IsRunning() && Responds(dialog_);
}

std::optional<Picture> VeltrunSession::Screenshot(HWND window, const std::string& name) const {
    std::optional<Picture> picture = CaptureWindow(window);
    const std::string directory = ArtifactsDirectory();
    ::CreateDirectoryA(directory.c_str(), nullptr);
    if (!picture || !SavePng(*picture, directory + "\\" + name + ".png")) {
        return std::nullopt;
    }
    return picture;
}

}  // namespace e2e

#include "probe_client.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "scoped_win.h"
#include "veltrun_session.h"
#include "wait.h"

namespace e2e {
namespace {

const std::string& ProbePath() {
    static const std::string path = WindowsPath(VELTRUN_PROBE_DLL);
    return path;
}

// Runs `start(parameter)` in the other process and returns the thread's exit code.
std::optional<DWORD> RunRemote(HANDLE process, LPTHREAD_START_ROUTINE start, void* parameter) {
    const win32::ScopedHandle thread(
        ::CreateRemoteThread(process, nullptr, 0, start, parameter, 0, nullptr));
    if (thread.Get() == nullptr || ::WaitForSingleObject(thread.Get(), kWaitMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeThread(thread.Get(), &code);
    return code;
}

HMODULE FindRemoteProbe(HANDLE process) {
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    if (!::EnumProcessModules(process, modules.data(),
                              static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed)) {
        return nullptr;
    }
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : modules) {
        char name[MAX_PATH] = {};
        if (::GetModuleBaseNameA(process, module, name, sizeof(name)) &&
            ::lstrcmpiA(name, "veltrun_probe.dll") == 0) {
            return module;
        }
    }
    return nullptr;
}

HMODULE LoadRemoteProbe(HANDLE process) {
    if (HMODULE loaded = FindRemoteProbe(process)) {
        return loaded;
    }
    const std::string& path = ProbePath();
    const win32::ScopedRemoteMemory remotePath(process, path.size() + 1);
    if (remotePath.Get() == nullptr ||
        !::WriteProcessMemory(process, remotePath.Get(), path.c_str(), path.size() + 1, nullptr)) {
        return nullptr;
    }
    // kernel32 sits at the same address in every process of the session.
    auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    if (!RunRemote(process, loadLibrary, remotePath.Get())) {
        return nullptr;
    }
    return FindRemoteProbe(process);
}

}  // namespace

std::optional<std::string> AskProbe(const AppProcess& process, probe::Question question,
                                    HWND window) {
    static HMODULE local = ::LoadLibraryA(ProbePath().c_str());
    if (local == nullptr) {
        return std::nullopt;
    }
    const auto* localEntry =
        reinterpret_cast<const char*>(::GetProcAddress(local, probe::kEntryName));
    HMODULE remote = LoadRemoteProbe(process.Handle());
    if (localEntry == nullptr || remote == nullptr) {
        return std::nullopt;
    }
    const auto offset = localEntry - reinterpret_cast<const char*>(local);
    auto remoteEntry = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(reinterpret_cast<char*>(remote) + offset));

    auto block = std::make_unique<probe::Block>();
    block->question = question;
    block->window = window;
    block->answer[0] = '\0';
    const win32::ScopedRemoteMemory remoteBlock(process.Handle(), sizeof(probe::Block));
    if (remoteBlock.Get() == nullptr ||
        !::WriteProcessMemory(process.Handle(), remoteBlock.Get(), block.get(), sizeof(*block),
                              nullptr)) {
        return std::nullopt;
    }
    const std::optional<DWORD> answered =
        RunRemote(process.Handle(), remoteEntry, remoteBlock.Get());
    if (answered != 1u || !::ReadProcessMemory(process.Handle(), remoteBlock.Get(), block.get(),
                                               sizeof(*block), nullptr)) {
        return std::nullopt;
    }
    block->answer[sizeof(block->answer) - 1] = '\0';
    return std::string(block->answer);
}

}  // namespace e2e

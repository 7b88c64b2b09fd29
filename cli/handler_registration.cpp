#include "cli/handler_registration.h"

#include <string>
#include <string_view>
#include <vector>

#include "cli/output_stream.h"
#include "cli/reporter.h"
#include "linkdecode/link_unwrap.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include "cli/wide_text.h"
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/desktop_process.h"
#include "cli/system_error.h"
#endif

namespace veltrun {

namespace {

void Say(const std::string& line) {
    OutputStream out(OutputStream::Target::Stdout, false);
    out.Write(line + "\n");
}

#ifdef _WIN32

// The default value of `root`\`path`, empty when there is none.
std::wstring DefaultValue(HKEY root, const std::wstring& path) {
    DWORD size = 0;
    if (::RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS)
        return {};
    value.resize(size / sizeof(wchar_t) - 1);
    return value;
}

bool SetDefaultValue(HKEY root, const std::wstring& path, const wchar_t* name,
                     const std::wstring& value) {
    return ::RegSetKeyValueW(root, path.c_str(), name, REG_SZ, value.c_str(),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

std::wstring OurCommand() {
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = ::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
        if (got < exe.size()) {
            exe.resize(got);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    return L"\"" + exe + L"\" --open \"%1\"";
}

const std::wstring kUserClasses = L"Software\\Classes\\";

// A key of HKEY_CURRENT_USER opened for changes; Get() is null when it could not be opened.
class ScopedKey {
public:
    explicit ScopedKey(const wchar_t* path) {
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~ScopedKey() {
        if (key_ != nullptr)
            ::RegCloseKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::wstring CommandKey(const std::wstring& scheme) {
    return scheme + L"\\shell\\open\\command";
}

}  // namespace

int RegisterHandler() {
    const std::wstring ours = OurCommand();
    int status = 0;
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes) {
        const std::wstring scheme = WideFromUtf8(std::string(row.name));
        const std::wstring before = DefaultValue(HKEY_CLASSES_ROOT, CommandKey(scheme));
        const std::wstring userOwner =
            DefaultValue(HKEY_CURRENT_USER, kUserClasses + CommandKey(scheme));
        if (!userOwner.empty() && userOwner != ours) {
            Say(std::string(row.name) + ": left to " + Utf8FromWide(userOwner) +
                ", which another program registered for this user");
            continue;
        }
        const std::wstring key = kUserClasses + scheme;
        if (!SetDefaultValue(HKEY_CURRENT_USER, key, nullptr, L"URL:" + scheme + L" link") ||
            !SetDefaultValue(HKEY_CURRENT_USER, key, L"URL Protocol", L"") ||
            !SetDefaultValue(HKEY_CURRENT_USER, kUserClasses + CommandKey(scheme), nullptr, ours)) {
            Reporter(false).Message(std::string("HKEY_CURRENT_USER\\") + Utf8FromWide(key) +
                                    ": could not be written");
            status = 2;
            continue;
        }
        if (!before.empty() && before != ours)
            Say(std::string(row.name) + ": opened by " + Utf8FromWide(before) +
                " before; --unregister-handler gives it back");
        Say(std::string(row.name) + ": opened by veltrun");
    }
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return status;
}

int UnregisterHandler() {
    const std::wstring ours = OurCommand();
    int status = 0;
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes) {
        const std::wstring scheme = WideFromUtf8(std::string(row.name));
        if (DefaultValue(HKEY_CURRENT_USER, kUserClasses + CommandKey(scheme)) != ours)
            continue;
        // With a subkey's name, the subkey goes too.
        if (::RegDeleteTreeW(ScopedKey(L"Software\\Classes").Get(), scheme.c_str()) !=
            ERROR_SUCCESS) {
            Reporter(false).Message("HKEY_CURRENT_USER\\Software\\Classes\\" +
                                    Utf8FromWide(scheme) + ": could not be removed");
            status = 2;
        }
        const std::wstring now = DefaultValue(HKEY_CLASSES_ROOT, CommandKey(scheme));
        Say(std::string(row.name) + ": " +
            (now.empty() ? std::string("no program opens it now")
                         : "opened by " + Utf8FromWide(now)));
    }
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return status;
}

#else

const char kDesktopId[] = "veltrun.desktop";
// Where the entry keeps the default each scheme had before, for UnregisterHandler.
const char kPreviousKey[] = "X-Veltrun-Previous-";

std::string MimeType(std::string_view scheme) {
    return "x-scheme-handler/" + std::string(scheme);
}

// $XDG_DATA_HOME or $XDG_CONFIG_HOME, or its default below the home folder.
std::string XdgHome(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/" + fallback;
}

std::string DesktopEntryPath() {
    return XdgHome("XDG_DATA_HOME", ".local/share") + "/applications/" + kDesktopId;
}

// The default desktop entry for `scheme` as xdg-mime finds it, empty when there is none.
std::string CurrentDefault(std::string_view scheme) {
    std::string output;
    const std::optional<int> status =
        RunProgram({"xdg-mime", "query", "default", MimeType(scheme)}, &output);
    if (!status || *status != 0)
        return {};
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

// The running program, for the entry's Exec line: a path that works from any folder.
std::string OwnPath() {
    std::string path(4096, '\0');
    const ssize_t got = readlink("/proc/self/exe", path.data(), path.size());
    if (got <= 0 || static_cast<std::size_t>(got) >= path.size())
        return "veltrun";
    path.resize(static_cast<std::size_t>(got));
    return path;
}

// An Exec argument as the desktop entry format wants it. A plain path stays bare, as xdg-utils
// reads the program from the first word without undoing quotes; any other is quoted: a
// backslash before ", `, $ and \, and every backslash then doubled for the key file's escapes.
std::string ExecArgument(const std::string& arg) {
    const bool plain = arg.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                           "0123456789/._+-") == std::string::npos;
    if (plain)
        return arg;
    std::string quoted = "\"";
    for (const char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += "\\\\";
        quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return quoted + "\"";
}

bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

void ReportFailure(const std::string& what) {
    Reporter(false).Message(what + ": " + DescribeSystemError(LastSystemError()));
}

// The previous defaults the entry recorded, by scheme, empty when there is no entry.
std::vector<std::pair<std::string, std::string> > RecordedPrevious(const std::string& path) {
    std::vector<std::pair<std::string, std::string> > found;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, sizeof(kPreviousKey) - 1, kPreviousKey) != 0)
            continue;
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            found.emplace_back(
                line.substr(sizeof(kPreviousKey) - 1, equals - sizeof(kPreviousKey) + 1),
                line.substr(equals + 1));
    }
    return found;
}

// The desktop entry `recorded` holds for `scheme`, empty when none.
std::string Find(const std::vector<std::pair<std::string, std::string> >& recorded,
                 std::string_view scheme) {
    for (const auto& [name, id] : recorded) {
        if (name == scheme)
            return id;
    }
    return {};
}

// Drops kDesktopId from the defaults for `mimeType` in the user's mimeapps.list, for a scheme
// that had no default before: xdg-mime can set a default but not remove one.
bool DropDefault(const std::string& mimeType) {
    const std::string path = XdgHome("XDG_CONFIG_HOME", ".config") + "/mimeapps.list";
    std::ifstream in(path);
    if (!in)
        return true;
    std::ostringstream kept;
    std::string line;
    const std::string key = mimeType + "=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            std::string rest;
            std::istringstream ids(line.substr(key.size()));
            std::string id;
            while (std::getline(ids, id, ';')) {
                if (!id.empty() && id != kDesktopId)
                    rest += id + ";";
            }
            if (rest.empty())
                continue;
            line = key + rest;
        }
        kept << line << '\n';
    }
    in.close();
    std::ofstream out(path, std::ios::trunc);
    out << kept.str();
    if (!out) {
        ReportFailure(path);
        return false;
    }
    return true;
}

}  // namespace

int RegisterHandler() {
    const std::string path = DesktopEntryPath();
    // A registration made before has recorded the defaults it replaced; they stay the ones to
    // give back. A scheme without one keeps whatever else opens it now.
    const std::vector<std::pair<std::string, std::string> > recorded = RecordedPrevious(path);
    std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Veltrun\n"
        "Comment=Opens the address a Thunder, FlashGet or Whirlwind link wraps\n"
        "Exec=" +
        ExecArgument(OwnPath()) +
        " --open %u\n"
        "NoDisplay=true\n"
        "Terminal=false\n"
        "MimeType=";
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes)
        entry += MimeType(row.name) + ";";
    entry += "\n";
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes) {
        std::string before = Find(recorded, row.name);
        if (before.empty())
            before = CurrentDefault(row.name);
        if (!before.empty() && before != kDesktopId) {
            entry += kPreviousKey + std::string(row.name) + "=" + before + "\n";
            Say(std::string(row.name) + ": opened by " + before +
                " before; --unregister-handler gives it back");
        }
    }

    bool written = false;
    if (MakeFolders(path)) {
        std::ofstream out(path, std::ios::trunc);
        out << entry;
        out.close();
        written = !out.fail();
    }
    if (!written) {
        ReportFailure(path);
        return 2;
    }
    std::vector<std::string> command = {"xdg-mime", "default", kDesktopId};
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes)
        command.push_back(MimeType(row.name));
    const std::optional<int> status = RunProgram(command);
    if (!status || *status != 0) {
        Reporter(false).Message("xdg-mime default failed; is xdg-utils installed?");
        return 2;
    }
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes)
        Say(std::string(row.name) + ": opened by veltrun (" + path + ")");
    return 0;
}

int UnregisterHandler() {
    const std::string path = DesktopEntryPath();
    const std::vector<std::pair<std::string, std::string> > previous = RecordedPrevious(path);
    int status = 0;
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes) {
        if (CurrentDefault(row.name) != kDesktopId)
            continue;
        const std::string before = Find(previous, row.name);
        const bool restored =
            before.empty() ? DropDefault(MimeType(row.name))
                           : RunProgram({"xdg-mime", "default", before, MimeType(row.name)}) ==
                                 std::optional<int>(0);
        if (!restored)
            status = 2;
    }
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        ReportFailure(path);
        status = 2;
    }
    for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes) {
        const std::string now = CurrentDefault(row.name);
        Say(std::string(row.name) + ": " +
            (now.empty() ? std::string("no program opens it now") : "opened by " + now));
    }
    return status;
}

#endif

}  // namespace veltrun

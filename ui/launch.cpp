// The launch fallback, the placeholder cut and the launch error messages.
#include "ui/launch.h"

#include <cstdio>

namespace qorvan::ui {

namespace {

    constexpr const char* PLACEHOLDERS[] = { "%1", "%u", "%U", "%f", "%F" };

    Launcher* installed = nullptr;

} // namespace

Launcher& desktopLauncher(); // desktop_launcher.cpp

Launcher& launcher()
{
    return installed ? *installed : desktopLauncher();
}

Launcher* setLauncher(Launcher* l)
{
    Launcher* previous = installed;
    installed = l;
    return previous;
}

std::string cutPlaceholder(std::string_view command)
{
    std::size_t quoted = std::string_view::npos;
    std::size_t bare = std::string_view::npos;
    for (const char* p : PLACEHOLDERS) {
        std::string q = std::string("\"") + p + "\"";
        quoted = std::min(quoted, command.find(q));
        bare = std::min(bare, command.find(p));
    }
    if (quoted != std::string_view::npos) return std::string(command.substr(0, quoted));
    if (bare != std::string_view::npos) return std::string(command.substr(0, bare));
    return std::string(command);
}

int LaunchUrl(const std::string& url, int show)
{
    Launcher& l = launcher();
    int result = l.shellOpen(url, show);
    if (static_cast<unsigned>(result) > 32) return result;
    std::optional<std::string> command = l.htmlOpenCommand();
    if (!command || command->size() >= REGISTRY_VALUE_BUFFER) return result;
    std::string line = cutPlaceholder(*command) + " " + url;
    if (line.size() >= COMMAND_LINE_BUFFER) return SE_ERR_OOM;
    return l.execCommandLine(line, show);
}

std::string launchErrorText(int code)
{
    const char* message = nullptr;
    switch (code) {
    case 0:
        message = "The operating system is out\nof memory or resources.";
        break;
    case 2:
        message = "The specified file was not found.";
        break;
    case 3:
        message = "The specified path was not found.";
        break;
    case 5:
        message = "The operating system denied\naccess to the specified file.";
        break;
    case 8:
        message = "There was not enough memory to complete the operation.";
        break;
    case 11:
        message = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        break;
    case 26:
        message = "A sharing violation occurred. ";
        break;
    case 27:
        message = "The filename association is\nincomplete or invalid.";
        break;
    case 28:
        message = "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case 29:
        message = "The DDE transaction failed.";
        break;
    case 30:
        message = "The DDE transaction could not\nbe completed because other DDE transactions\n"
                  "were being processed.";
        break;
    case 31:
        message = "There is no application associated\nwith the given filename extension.";
        break;
    case 32:
        message = "The specified dynamic-link library was not found.";
        break;
    default:
        break;
    }
    std::string text = "Can't open link:\n\n";
    if (message) return text + message;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Unknown Error (%d) occurred.", code);
    return text + buf;
}

std::vector<std::string> splitCommandLine(std::string_view s)
{
    std::vector<std::string> out;
    std::string cur;
    bool inArg = false, quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quoted) {
            if (c == '\\' && i + 1 < s.size())
                cur += s[++i];
            else if (c == '"')
                quoted = false;
            else
                cur += c;
        } else if (c == '"') {
            quoted = inArg = true;
        } else if (c == ' ' || c == '\t') {
            if (inArg) out.push_back(cur);
            cur.clear();
            inArg = false;
        } else {
            cur += c;
            inArg = true;
        }
    }
    if (inArg) out.push_back(cur);
    return out;
}

} // namespace qorvan::ui

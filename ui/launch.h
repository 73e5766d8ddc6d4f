// Opening a link target: the desktop's URL handler first, then the command
// registered for HTML pages. Results follow the shell's convention: above
// 32 is success, 0..32 are its error codes (launchErrorText names them).
// No toolkit here; the desktop side is in desktop_launcher.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qorvan::ui {

inline constexpr int SW_SHOW = 5;

// Registry values were read into 260-byte buffers and the command line
// built in 520 bytes; longer texts are refused rather than cut.
inline constexpr std::size_t REGISTRY_VALUE_BUFFER = 260;
inline constexpr std::size_t COMMAND_LINE_BUFFER = 520;
// The shell's "not enough memory" code, for a command line too long.
inline constexpr int SE_ERR_OOM = 8;

class Launcher {
public:
    virtual ~Launcher() = default;
    // Opens url with the desktop's handler; the shell's result.
    virtual int shellOpen(const std::string& url, int show) = 0;
    // The command line registered for opening HTML files, if any.
    virtual std::optional<std::string> htmlOpenCommand() = 0;
    // Starts a command line; above 31 on success, else 0, 2, 3 or 11.
    virtual int execCommandLine(const std::string& commandLine, int show) = 0;
};

// The launcher in effect: the desktop one unless a test installed another.
Launcher& launcher();
Launcher* setLauncher(Launcher* l);

// Opens url: shellOpen, and when that fails, the HTML command with its
// placeholder cut and the url appended.
int LaunchUrl(const std::string& url, int show);

// The command text up to its file placeholder: a quoted placeholder is cut
// at its opening quote, a bare one where it starts; without one the text
// stays whole. Placeholders: %1, and on POSIX the desktop entries' %u, %U,
// %f and %F.
std::string cutPlaceholder(std::string_view command);

// "Can't open link:\n\n" and the message for a shell error code.
std::string launchErrorText(int code);

// Splits a command line into arguments: blanks separate, double quotes
// group, a backslash inside quotes escapes the next character.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

} // namespace qorvan::ui

#include "cli/common.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/cleanup.h"
#include "platform/io.h"
#include "platform/resolve.h"
#include "platform/save_file.h"
#include "store/status.h"

namespace qorvan::cli {

void guardFiles()
{
    platform::installCleanupOnSignals();
    platform::SaveFile::setWarningHandler(
        [](const std::string& text) { std::fprintf(stderr, "qorvan: warning: %s\n", text.c_str()); });
}

void resetStatus() { setStatus(Ok, nullptr, nullptr); }

int failWithStatus()
{
    std::fprintf(stderr, "qorvan: %s\n", statusMessage());
    return EXIT_FAILED;
}

int fail(const std::string& text, int status)
{
    std::fprintf(stderr, "qorvan: %s\n", text.c_str());
    return status;
}

Progress::Progress(std::size_t total) : total_(total), shown_(total > 1 && ::isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { clear(); }

void Progress::step(std::size_t done, const std::string& label)
{
    if (!shown_) return;
    constexpr std::size_t WIDTH = 30;
    std::size_t filled = total_ ? done * WIDTH / total_ : WIDTH;
    std::string bar(filled, '#');
    bar.resize(WIDTH, ' ');
    std::string shortLabel = label.substr(0, 32);
    std::fprintf(stderr, "\r[%s] %zu/%zu %-32s", bar.c_str(), done, total_, shortLabel.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::clear()
{
    if (!drawn_) return;
    // Leave the line empty so later messages start cleanly.
    std::fprintf(stderr, "\r%*s\r", 80, "");
    std::fflush(stderr);
    drawn_ = false;
}

bool parseSize(const std::string& text, int& width, int& height)
{
    std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    auto number = [](const std::string& s, int& out) {
        if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 5) return false;
        out = std::atoi(s.c_str());
        return out > 0;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

std::string jsonString(const std::string& bytes)
{
    std::string out = "\"";
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string nameText(const char* bytes, std::size_t capacity) { return std::string(bytes, strnlen(bytes, capacity)); }

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out)
{
    platform::File file = platform::File::open(path, platform::OpenMode::Read);
    if (!file.isOpen()) return false;
    std::int64_t length = file.length();
    if (length < 0) return false;
    out.resize(static_cast<std::size_t>(length));
    bool ok = file.readExact(out.data(), out.size());
    file.close();
    return ok;
}

bool writeWholeFile(const std::string& path, const std::string& bytes)
{
    // An interrupted run leaves the old file or the new one, never half.
    platform::SaveFile out;
    if (!out.open(platform::resolveForCreate(path))) return false;
    return out.write(bytes.data(), bytes.size()) && out.commit();
}

bool writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    return writeWholeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string joinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty()) return name;
    char last = directory.back();
    if (last == '/' || last == '\\') return directory + name;
    return directory + "/" + name;
}

bool makeDirectory(const std::string& path)
{
    std::error_code ec;
    std::string native = platform::resolveForCreate(path);
    if (std::filesystem::is_directory(native, ec)) return true;
    std::filesystem::create_directories(native, ec);
    return !ec && std::filesystem::is_directory(native, ec);
}

std::string safeFileName(const std::string& name)
{
    std::string out;
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        bool bad = c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        out += bad ? '_' : static_cast<char>(c);
    }
    if (out.find_first_not_of('.') == std::string::npos) out.assign(out.size() ? out.size() : 1, '_');
    return out;
}

} // namespace qorvan::cli

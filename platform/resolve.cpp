// User paths to native paths: separators, drives, case-insensitive lookup.
#include "platform/resolve.h"

#include "platform/path.h"

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace qorvan::platform {

namespace {

    bool existsNative(const std::string& p)
    {
        struct stat st { };
        return ::lstat(p.c_str(), &st) == 0;
    }

    std::string joinNative(const std::string& dir, std::string_view name)
    {
        if (dir.empty()) return std::string(name);
        if (dir.back() == '/') return dir + std::string(name);
        return dir + "/" + std::string(name);
    }

    // The entry of dir whose name equals name ignoring case: exact first, else
    // the smallest in byte order. Empty when none.
    std::string findNoCase(const std::string& dir, std::string_view name)
    {
        DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
        if (!d) return {};
        std::string best;
        bool found = false;
        while (dirent* e = ::readdir(d)) {
            std::string_view entry(e->d_name);
            if (!equalsNoCase(entry, name)) continue;
            if (entry == name) {
                best = std::string(entry);
                found = true;
                break;
            }
            if (!found || entry < std::string_view(best)) best = std::string(entry);
            found = true;
        }
        ::closedir(d);
        return best;
    }

    struct Split {
        std::string root; // "", "/" or a drive's mapped directory
        std::vector<std::string> components;
        bool trailingSeparator = false;
    };

    Split splitUserPath(std::string_view path)
    {
        Split s;
        bool mappedDrive = false;
        if (const DrivePrefix drive = drivePrefix(path); drive.letter) {
            path.remove_prefix(2);
            if (!drive.folder.empty()) {
                mappedDrive = true;
                s.root = drive.folder;
                if (s.root.back() != '/') s.root += '/';
            }
        }
        if (!path.empty() && isSeparator(path[0]) && s.root.empty()) s.root = "/";
        std::string cur;
        for (char c : path) {
            if (isSeparator(c)) {
                if (!cur.empty()) s.components.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
        if (!cur.empty()) s.components.push_back(cur);
        s.trailingSeparator = !path.empty() && isSeparator(path.back());
        if (mappedDrive) {
            // A mapped drive is a root, as the drive it stands for: ".." stops
            // at it instead of leading out of the directory it was mapped to.
            std::vector<std::string> kept;
            for (std::string& c : s.components) {
                if (c == ".") continue;
                if (c == "..") {
                    if (!kept.empty()) kept.pop_back();
                    continue;
                }
                kept.push_back(std::move(c));
            }
            s.components = std::move(kept);
        }
        return s;
    }

    std::string assemble(const Split& s, std::size_t upTo)
    {
        std::string out = s.root;
        for (std::size_t i = 0; i < upTo; ++i)
            out = joinNative(out, s.components[i]);
        return out;
    }

    // Resolves components [0, count) of s in place; stops at the first that
    // cannot be found, leaving it and those after it as written.
    void resolveComponents(Split& s, std::size_t count)
    {
        std::string dir = s.root;
        for (std::size_t i = 0; i < count; ++i) {
            std::string& comp = s.components[i];
            if (comp == "." || comp == "..") {
                dir = joinNative(dir, comp);
                continue;
            }
            std::string exact = joinNative(dir, comp);
            if (!existsNative(exact)) {
                std::string match = findNoCase(dir, comp);
                if (match.empty()) return;
                comp = match;
            }
            dir = joinNative(dir, comp);
        }
    }

    std::string finish(const Split& s)
    {
        std::string out = assemble(s, s.components.size());
        if (s.trailingSeparator && !out.empty() && out.back() != '/') out += '/';
        return out;
    }

} // namespace

std::string driveVariable(char letter)
{
    return std::string("QORVAN_DRIVE_") + toUpperAscii(letter);
}

DrivePrefix drivePrefix(std::string_view path)
{
    DrivePrefix d;
    if (path.size() < 2 || path[1] != ':') return d;
    const char c = toUpperAscii(path[0]);
    if (c < 'A' || c > 'Z') return d;
    d.letter = c;
    d.variable = driveVariable(c);
    if (const char* v = std::getenv(d.variable.c_str()); v && *v) d.folder = v;
    return d;
}

std::string toNativePath(std::string_view userPath)
{
    return finish(splitUserPath(userPath));
}

std::string resolveExisting(std::string_view userPath)
{
    Split s = splitUserPath(userPath);
    std::string direct = finish(s);
    if (direct.empty() || existsNative(direct)) return direct;
    resolveComponents(s, s.components.size());
    return finish(s);
}

std::string resolveForCreate(std::string_view userPath)
{
    // A case-insensitive file system would write into an existing entry of
    // another case rather than create a second one; so do we.
    return resolveExisting(userPath);
}

bool pathExists(std::string_view userPath)
{
    return existsNative(resolveExisting(userPath));
}

} // namespace qorvan::platform

// Directory and drive listing for the dialogs, on POSIX.
#include "platform/dirlist.h"

#include "platform/path.h"
#include "platform/resolve.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qorvan::platform {

namespace {

    bool isDirectory(const std::string& nativePath)
    {
        struct stat st { };
        return ::stat(nativePath.empty() ? "." : nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    std::string currentDirectory()
    {
        std::string buf(4096, '\0');
        if (!::getcwd(buf.data(), buf.size())) return {};
        buf.resize(std::strlen(buf.c_str()));
        return buf;
    }

    std::string homeDirectory()
    {
        const char* home = std::getenv("HOME");
        return (home && *home) ? std::string(home) : std::string();
    }

    bool hasWildcard(std::string_view s)
    {
        return s.find_first_of("*?") != std::string_view::npos;
    }

    // Mount points from the kernel's table, with its octal escapes (\040 for a
    // space) decoded.
    std::vector<std::string> mountPoints()
    {
        std::vector<std::string> out;
        std::FILE* f = std::fopen("/proc/self/mounts", "r");
        if (!f) return out;
        char line[4096];
        while (std::fgets(line, sizeof line, f)) {
            char* p = std::strchr(line, ' ');
            if (!p) continue;
            ++p;
            std::string mount;
            while (*p && *p != ' ' && *p != '\n') {
                if (p[0] == '\\' && p[1] >= '0' && p[1] <= '7' && p[2] >= '0' && p[2] <= '7' && p[3] >= '0'
                    && p[3] <= '7') {
                    mount += static_cast<char>((p[1] - '0') * 64 + (p[2] - '0') * 8 + (p[3] - '0'));
                    p += 4;
                } else {
                    mount += *p++;
                }
            }
            out.push_back(mount);
        }
        std::fclose(f);
        return out;
    }

    bool isVolumeMount(const std::string& m)
    {
        for (const char* prefix : { "/media/", "/mnt/", "/run/media/" })
            if (m.size() > std::strlen(prefix) && m.compare(0, std::strlen(prefix), prefix) == 0) return true;
        return false;
    }

    // The mapped directory of drive letter c, or empty.
    std::string mappedDrive(char letter)
    {
        const char* v = std::getenv(driveVariable(letter).c_str());
        return (v && *v && isDirectory(v)) ? std::string(v) : std::string();
    }

    struct Drive {
        std::string entry;
        std::string root;
    };

    std::vector<Drive> driveTable()
    {
        std::vector<Drive> out;
        out.push_back({ "[-/-]", "/" });
        std::string home = homeDirectory();
        if (!home.empty() && isDirectory(home)) out.push_back({ "[-~-]", home });
        for (const std::string& m : mountPoints()) {
            if (!isVolumeMount(m)) continue;
            std::string entry = "[-" + m + "-]";
            bool seen = false;
            for (const Drive& d : out)
                seen = seen || d.entry == entry;
            if (!seen) out.push_back({ entry, m });
        }
        for (char c = 'a'; c <= 'z'; ++c) {
            std::string mapped = mappedDrive(c);
            if (!mapped.empty()) out.push_back({ std::string("[-") + c + "-]", mapped });
        }
        return out;
    }

    bool fill(ListControl* list, const char* pathSpec, TextControl* pathControl, unsigned fileType)
    {
        std::string spec = pathSpec ? pathSpec : "";
        std::string dir;
        std::string pattern;
        std::size_t cut = std::string::npos;
        for (std::size_t i = 0; i < spec.size(); ++i)
            if (isSeparator(spec[i]) || (i == 1 && spec[i] == ':')) cut = i;
        std::string last = cut == std::string::npos ? spec : spec.substr(cut + 1);
        if (!spec.empty() && !hasWildcard(last) && isDirectory(resolveExisting(spec))) {
            dir = spec;
            pattern = "*.*";
        } else {
            if (cut != std::string::npos) dir = spec.substr(0, cut + 1);
            pattern = last.empty() ? "*.*" : last;
        }
        if (!dir.empty()) {
            std::string native = resolveExisting(dir);
            if (!native.empty()) {
                if (!isDirectory(native) || ::chdir(native.c_str()) != 0) return false;
            }
        }
        std::string cwd = currentDirectory();
        if (cwd.empty()) return false;
        if (list) {
            list->resetContent();
            for (const std::string& e : dirlist::entriesOf(cwd, pattern, fileType))
                list->addString(e);
        }
        if (pathControl) pathControl->setText(cwd);
        return true;
    }

    bool select(const ListControl& list, char* out, int count)
    {
        int sel = list.currentSelection();
        std::string entry;
        if (sel < 0 || !list.text(sel, entry)) return false;
        std::string path;
        bool isDir = dirlist::selectionPath(entry, path);
        if (out && count > 0) {
            std::size_t n = std::min(path.size(), static_cast<std::size_t>(count - 1));
            std::memcpy(out, path.data(), n);
            out[n] = '\0';
        }
        return isDir;
    }

} // namespace

namespace dirlist {

    bool matchPattern(std::string_view pattern, std::string_view name)
    {
        if (pattern == "*.*" || pattern == "*") return true;
        // Iterative glob with one backtrack point: enough for '*' and '?'.
        std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
        while (n < name.size()) {
            if (p < pattern.size()
                && (pattern[p] == '?' || toLowerAscii(pattern[p]) == toLowerAscii(name[n]))) {
                ++p;
                ++n;
            } else if (p < pattern.size() && pattern[p] == '*') {
                star = p++;
                mark = n;
            } else if (star != std::string_view::npos) {
                p = star + 1;
                n = ++mark;
            } else {
                return false;
            }
        }
        while (p < pattern.size() && pattern[p] == '*')
            ++p;
        return p == pattern.size();
    }

    std::vector<std::string> entriesOf(
        const std::string& nativeDir, std::string_view pattern, unsigned fileType)
    {
        std::vector<std::string> files;
        std::vector<std::string> dirs;
        bool wantFiles = !(fileType & DDL_EXCLUSIVE)
            || (fileType & (DDL_READONLY | DDL_HIDDEN | DDL_SYSTEM | DDL_ARCHIVE)) != 0;
        bool wantDirs = (fileType & DDL_DIRECTORY) != 0;
        if (wantFiles || wantDirs) {
            if (DIR* d = ::opendir(nativeDir.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    std::string name = e->d_name;
                    if (name == ".") continue;
                    if (name == ".." && nativeDir == "/") continue;
                    bool hidden = name[0] == '.' && name != "..";
                    if (hidden && !(fileType & DDL_HIDDEN)) continue;
                    std::string full = nativeDir == "/" ? "/" + name : nativeDir + "/" + name;
                    struct stat st { };
                    if (::stat(full.c_str(), &st) != 0) continue;
                    if (S_ISDIR(st.st_mode)) {
                        if (wantDirs) dirs.push_back("[" + name + "]");
                    } else if (S_ISREG(st.st_mode)) {
                        if (wantFiles && matchPattern(pattern, name)) files.push_back(name);
                    }
                }
                ::closedir(d);
            }
        }
        std::vector<std::string> out = std::move(files);
        out.insert(out.end(), dirs.begin(), dirs.end());
        if (fileType & DDL_DRIVES)
            for (const std::string& drive : drives())
                out.push_back(drive);
        return out;
    }

    std::vector<std::string> drives()
    {
        std::vector<std::string> out;
        for (const Drive& d : driveTable())
            out.push_back(d.entry);
        return out;
    }

    bool selectionPath(std::string_view entry, std::string& out)
    {
        if (entry.size() >= 5 && entry.substr(0, 2) == "[-" && entry.substr(entry.size() - 2) == "-]") {
            std::string inner(entry.substr(2, entry.size() - 4));
            if (inner.size() == 1 && inner[0] >= 'a' && inner[0] <= 'z') {
                out = inner + ":";
            } else {
                out = inner == "~" ? homeDirectory() : inner;
                if (out.empty() || out.back() != '/') out += '/';
            }
            return true;
        }
        if (entry.size() >= 2 && entry.front() == '[' && entry.back() == ']') {
            out = std::string(entry.substr(1, entry.size() - 2)) + "/";
            return true;
        }
        out = std::string(entry);
        if (out.find('.') == std::string::npos) out += '.';
        return false;
    }

    std::string driveFor(std::string_view nativeDir)
    {
        std::string best = "[-/-]";
        std::size_t bestLength = 1;
        for (const Drive& d : driveTable()) {
            std::string root = d.root;
            while (root.size() > 1 && root.back() == '/')
                root.pop_back();
            bool inside = nativeDir == root
                || (nativeDir.size() > root.size() && nativeDir.substr(0, root.size()) == root
                    && (root == "/" || nativeDir[root.size()] == '/'));
            if (inside && root.size() > bestLength) {
                best = d.entry;
                bestLength = root.size();
            }
        }
        return best;
    }

} // namespace dirlist

bool DlgDirList(ListControl* list, const char* pathSpec, TextControl* pathControl, unsigned fileType)
{
    return fill(list, pathSpec, pathControl, fileType);
}

bool DlgDirListComboBox(ListControl* combo, const char* pathSpec, TextControl* pathControl, unsigned fileType)
{
    return fill(combo, pathSpec, pathControl, fileType);
}

bool DlgDirSelectEx(const ListControl& list, char* out, int count)
{
    return select(list, out, count);
}

bool DlgDirSelectComboBoxEx(const ListControl& combo, char* out, int count)
{
    return select(combo, out, count);
}

} // namespace qorvan::platform

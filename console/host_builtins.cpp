// The functions that reach outside the evaluator: printing, load, findfile,
// arxload, arxunload and command.
#include "console/host_state.h"
#include "console/interpreter.h"
#include "console/output.h"
#include "console/printer.h"
#include "platform/path.h"
#include "platform/program.h"
#include "platform/resolve.h"

#include "qorvan_install_dirs.h"

#include <filesystem>
#include <unistd.h>

namespace qorvan::console {

namespace {

    using Args = std::vector<Value>;

    // princ, prin1 and print write to the command line; a file argument (the
    // console opens no files for writing) is not accepted.
    Value princFn(Interpreter&, const Args& a)
    {
        needArgs(a, 0, 1);
        if (a.empty()) return Value::voidValue();
        output::write(princForm(a[0]));
        return a[0];
    }

    Value prin1Fn(Interpreter&, const Args& a)
    {
        needArgs(a, 0, 1);
        if (a.empty()) return Value::voidValue();
        output::write(prin1Form(a[0]));
        return a[0];
    }

    Value printFn(Interpreter&, const Args& a)
    {
        needArgs(a, 0, 1);
        if (a.empty()) return Value::voidValue();
        output::write("\n" + prin1Form(a[0]) + " ");
        return a[0];
    }

    Value terpriFn(Interpreter&, const Args& a)
    {
        needArgs(a, 0, 0);
        output::write("\n");
        return Value();
    }

    bool isRegularFile(const std::string& native)
    {
        std::error_code ec;
        return std::filesystem::is_regular_file(native, ec);
    }

    bool hasExtension(const std::string& userPath)
    {
        return !platform::splitPath(userPath).ext.empty();
    }

    // The native path of an existing file the user path names, or "".
    std::string existingFile(const std::string& userPath)
    {
        const std::string native = platform::resolveExisting(userPath);
        return isRegularFile(native) ? native : std::string();
    }

    Value findfileFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        const std::string found = existingFile(stringArg(a, 0));
        return found.empty() ? Value() : Value::string(found);
    }

    Value loadFn(Interpreter& in, const Args& a)
    {
        needArgs(a, 1, 2);
        const std::string& name = stringArg(a, 0);
        std::string found = existingFile(name);
        if (found.empty() && !hasExtension(name)) found = existingFile(name + ".lsp");
        if (found.empty()) {
            if (a.size() == 2) return a[1];
            throw LispError("LOAD failed: " + prin1Form(a[0]));
        }
        return in.loadFile(found);
    }

} // namespace

std::string moduleBesideProgram(const std::string& file)
{
    const std::string dir = platform::programFolder();
    if (dir.empty()) return {};
    for (const std::string& candidate :
        { dir + "/" + file, dir + "/" QORVAN_MODULE_DIR_FROM_BINDIR "/" + file }) {
        std::string found = existingFile(candidate);
        if (!found.empty()) return found;
    }
    return {};
}

std::string findModuleFile(const std::string& name)
{
    const std::string withExt = hasExtension(name) ? name : name + ".arx";
    std::string found = existingFile(withExt);
    const auto parts = platform::splitPath(withExt);
    if (found.empty() && parts.drive.empty() && parts.dir.empty()) found = moduleBesideProgram(withExt);
    if (found.empty()) return found;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(found, ec);
    return ec ? found : absolute.lexically_normal().string();
}

namespace {

    Value arxloadFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 2);
        const std::string& name = stringArg(a, 0);
        const std::string path = findModuleFile(name);
        std::string reason = name + ": no such module";
        if (!path.empty() && loadModule(path, reason)) return a[0];
        if (a.size() == 2) return a[1];
        output::diagnostic(reason);
        throw LispError("ARXLOAD failed");
    }

    Value arxunloadFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 2);
        const std::string& name = stringArg(a, 0);
        LoadedModule* m = findModule(name);
        std::string reason = name + ": not loaded";
        if (m && unloadModule(*m, reason)) return a[0];
        if (a.size() == 2) return a[1];
        output::diagnostic(reason);
        throw LispError("ARXUNLOAD failed");
    }

    // (command "NAME" ...): each string names a command, run in turn; "" and
    // nil stand for Enter, which does nothing here.
    Value commandFn(Interpreter&, const Args& a)
    {
        for (const Value& v : a) {
            if (v.isNil() || (v.isString() && v.asString().empty())) continue;
            if (!v.isString()) badArgument("stringp", v);
            if (!runCommand(v.asString()))
                output::diagnostic("Unknown command \"" + platform::toUpperAscii(v.asString()) + "\".");
        }
        return Value();
    }

} // namespace

void installHostBuiltins(Interpreter& in)
{
    in.define("princ", princFn);
    in.define("prin1", prin1Fn);
    in.define("print", printFn);
    in.define("terpri", terpriFn);
    in.define("findfile", findfileFn);
    in.define("load", loadFn);
    in.define("arxload", arxloadFn);
    in.define("arxunload", arxunloadFn);
    in.define("command", commandFn);
}

} // namespace qorvan::console

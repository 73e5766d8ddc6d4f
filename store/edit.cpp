// The editing operations: each resolves its library once, takes the
// writers' lock, reads the directory and, when it changes the library,
// hands the new layout to the rewrite.
#include "store/edit.h"
#include "store/extract_p.h"

#include "platform/io.h"
#include "platform/path.h"
#include "platform/save_file.h"
#include "store/directory_p.h"
#include "store/library_codec.h"
#include "store/limits.h"
#include "store/lock_p.h"
#include "store/names_p.h"
#include "store/rewrite_p.h"
#include "store/status.h"

#include <cerrno>
#include <new>
#include <set>
#include <sys/stat.h>

namespace qorvan {

using namespace detail;

namespace {

    const char* orEmpty(const char* s)
    {
        return s ? s : "";
    }

    // The failures below the store's own code (an allocation) become NoMemory, and
    // nothing escapes into the host.
    template <typename F> StatusCode guarded(F&& body)
    {
        try {
            return body();
        } catch (const std::bad_alloc&) {
            return setStatus(NoMemory, nullptr, nullptr);
        }
    }

    std::vector<Piece> piecesOf(const std::vector<LibraryEntry>& entries)
    {
        std::vector<Piece> pieces;
        pieces.reserve(entries.size() + 1);
        for (const LibraryEntry& e : entries)
            pieces.push_back(Piece { e.name, e.offset, e.size, false });
        return pieces;
    }

    bool sameName(const SlideName& stored, std::string_view name)
    {
        return slideNameMatches(stored, name, NameMatch::AnyCase);
    }

    // A library may be written from nothing only where no file exists, or over
    // a valid library without slides; any other file at that path (one the
    // reader could not open, say) is left alone.
    StatusCode mayCreate(const LibraryFile& lib)
    {
        if (lib.tooLong || lib.native.empty()) return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
        if (libraryExists(lib) && !isEmptyLibrary(lib))
            return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
        return Ok;
    }

    // The library held open for a whole operation: its directory is read from
    // this descriptor and every old slide copied through it, so what is written
    // comes from one file even when another program replaces the library
    // meanwhile. Not open when there is no library yet.
    platform::File openLibrary(const LibraryFile& lib)
    {
        if (lib.tooLong || lib.native.empty()) return {};
        return platform::File::openNative(lib.native, platform::OpenMode::Read);
    }

    // The directory of the library held open; empty with the code recorded.
    std::vector<LibraryEntry> directoryOf(platform::File& file, const LibraryFile& lib)
    {
        if (!file.isOpen()) {
            setStatus(CannotOpen, lib.readerText.c_str(), nullptr);
            return {};
        }
        return readDirectoryFrom(file, lib);
    }

    StatusCode createAt(const LibraryFile& lib)
    {
        if (mayCreate(lib) != Ok) return CannotOpen;
        platform::File old = openLibrary(lib);
        return rewriteLibrary(lib, old.isOpen() ? &old : nullptr, {}, nullptr, {});
    }

    // The directory an append or replace starts from: the library's, or none
    // where a new library may be written. False with the code recorded.
    bool startingDirectory(const LibraryFile& lib, platform::File& file, std::vector<LibraryEntry>& entries)
    {
        file = openLibrary(lib);
        entries = directoryOf(file, lib);
        if (!entries.empty()) return true;
        StatusCode code = lastStatus();
        if (code != CannotOpen && code != EmptyLibrary) return false;
        // The new library is written with its first slide in one rewrite, so a
        // failing append never leaves an empty library behind.
        return mayCreate(lib) == Ok;
    }

    // Adds the slide file after entries (read from old), in one rewrite.
    StatusCode appendAfter(const LibraryFile& lib, platform::File& old,
        const std::vector<LibraryEntry>& entries, const char* slideFile)
    {
        const std::string slideText = slideFileText(slideFile);
        const std::string name = slideNameOf(slideFile);
        if (!isUsableName(name)) return setStatus(InvalidSlide, slideText.c_str(), nullptr);
        for (const LibraryEntry& e : entries)
            if (sameName(e.name, name)) return setStatus(SlideExists, lib.written.c_str(), name.c_str());
        if (entries.size() >= MAX_LIBRARY_SLIDES) return setStatus(NoMemory, nullptr, nullptr);

        if (slideText.size() > MAX_PATH_CHARS) return setStatus(CannotOpen, slideText.c_str(), nullptr);
        platform::File slide = platform::File::open(slideText, platform::OpenMode::Read);
        if (!slide.isOpen()) return setStatus(CannotOpen, slideText.c_str(), nullptr);
        std::int64_t length = slide.length();
        if (length < 0) return setStatus(CannotOpen, slideText.c_str(), nullptr);

        std::vector<Piece> pieces = piecesOf(entries);
        pieces.push_back(Piece { makeSlideName(name), 0, length, true });
        return rewriteLibrary(lib, old.isOpen() ? &old : nullptr, pieces, &slide, slideText);
    }

    StatusCode appendLocked(const LibraryFile& lib, const char* slideFile)
    {
        platform::File old;
        std::vector<LibraryEntry> entries;
        if (!startingDirectory(lib, old, entries)) return lastStatus();
        return appendAfter(lib, old, entries, slideFile);
    }

    // The old slide leaves and the new one arrives in the same rewrite, so the
    // library is never seen (nor left, on a failure) without either.
    StatusCode replaceLocked(const LibraryFile& lib, const char* slideFile)
    {
        platform::File old;
        std::vector<LibraryEntry> entries;
        if (!startingDirectory(lib, old, entries)) return lastStatus();
        // The base name cut as the append will cut it, so a long file name
        // replaces its own slide instead of meeting it as a duplicate.
        std::string name = platform::splitPath(slideFile).base;
        if (name.size() > SLIDE_NAME_MAX) name.resize(SLIDE_NAME_MAX);
        std::vector<LibraryEntry> kept;
        kept.reserve(entries.size());
        for (const LibraryEntry& e : entries)
            if (!sameName(e.name, name)) kept.push_back(e);
        // What a separate delete would have recorded: the slide was not there.
        if (!entries.empty() && kept.size() == entries.size())
            setStatus(SlideNotFound, lib.written.c_str(), name.c_str());
        return appendAfter(lib, old, kept, slideFile);
    }

    StatusCode deleteLocked(const LibraryFile& lib, const char* name)
    {
        platform::File old = openLibrary(lib);
        std::vector<LibraryEntry> entries = directoryOf(old, lib);
        if (entries.empty()) return lastStatus();
        std::vector<Piece> kept;
        kept.reserve(entries.size());
        for (const LibraryEntry& e : entries)
            if (!sameName(e.name, name)) kept.push_back(Piece { e.name, e.offset, e.size, false });
        if (kept.size() == entries.size()) return setStatus(SlideNotFound, lib.written.c_str(), name);
        return rewriteLibrary(lib, &old, kept, nullptr, {});
    }

    // Extracts from the library held open as `held`, or from its own opening of
    // the library where there is none.
    StatusCode extractLocked(const char* directory, const LibraryFile& lib, const char* name,
        const std::vector<LibraryEntry>& entries, platform::File* held = nullptr, bool durable = false)
    {
        const LibraryEntry* entry = nullptr;
        for (const LibraryEntry& e : entries)
            if (sameName(e.name, name)) {
                entry = &e;
                break;
            }
        if (!entry) return setStatus(SlideNotFound, lib.written.c_str(), name);
        // The stored name becomes a file name: one that could leave the target
        // folder (or is no file name at all) is refused before anything opens.
        const std::string stored = storedName(entry->name);
        if (!isUsableName(stored) || entry->offset < 0 || entry->size < 0)
            return setStatus(InvalidLibrary, nullptr, nullptr);
        const std::string outText = outputText(directory, stored);
        if (outText.size() > MAX_PATH_CHARS) return setStatus(CannotOpen, outText.c_str(), nullptr);

        if (lib.tooLong) return setStatus(CannotOpen, lib.extractText.c_str(), nullptr);
        platform::File own;
        if (!held) own = platform::File::openNative(lib.native, platform::OpenMode::Read);
        platform::File& in = held ? *held : own;
        if (!in.isOpen()) return setStatus(CannotOpen, lib.extractText.c_str(), nullptr);
        std::int64_t length = in.length();
        if (length < 0) return setStatus(CannotOpen, lib.extractText.c_str(), nullptr);
        if (static_cast<std::int64_t>(entry->offset) + entry->size > length)
            return setStatus(InvalidLibrary, nullptr, nullptr);

        // The slide goes to a temporary file that replaces the output only when
        // complete, so a failure never leaves a truncated file where an older
        // one stood.
        NativeTarget target = resolveTarget(outText);
        platform::SaveFile save;
        // A slide of a private library is not given to others by its copy.
        if (struct stat st {}; ::fstat(in.descriptor(), &st) == 0) save.limitModeBy(st.st_mode);
        if (!save.open(target.native)) return setStatus(CannotOpen, outText.c_str(), nullptr);
        // Made durable when it replaces a file or when the caller is about to
        // take the slide out of the library; otherwise a new slide file lost
        // to a crash is still in the library, while paying a disk flush per
        // slide made exploding a library many times slower than copying it.
        save.setDurable(durable || save.targetExisted());
        if (!in.seek(entry->offset)) return setStatus(CannotOpen, lib.extractText.c_str(), nullptr);
        std::vector<char> buffer;
        switch (copyBytes(in, save.file(), entry->size, buffer, COPY_CHUNK)) {
        case CopyFault::None:
            break;
        case CopyFault::Read:
            return setStatus(CannotOpen, lib.extractText.c_str(), nullptr);
        case CopyFault::Write:
            return setStatus(CannotOpen, outText.c_str(), nullptr);
        }
        if (!save.commit()) return setStatus(CannotOpen, outText.c_str(), nullptr);
        return Ok;
    }

    StatusCode extractSlideLocked(
        const LibraryFile& lib, const char* name, const char* directory, bool durable = false)
    {
        platform::File file = openLibrary(lib);
        std::vector<LibraryEntry> entries = directoryOf(file, lib);
        if (entries.empty()) return lastStatus();
        return extractLocked(directory, lib, name, entries, &file, durable);
    }

    // Every operation on one library: resolved once, locked against other
    // writers for the whole operation, with no exception let out.
    template <class Body> StatusCode withLibrary(const char* library, Body&& body)
    {
        return guarded([&] {
            platform::clearFailure();
            LibraryFile lib = resolveLibrary(orEmpty(library));
            // The folder the library really lives in: writers that reach it
            // through links in other folders must take turns all the same.
            std::string real = lib.native.empty() ? std::string() : platform::followLinks(lib.native);
            LibraryLock lock(
                real.empty() || real == lib.native ? lib.nativeDir : platform::nativeFolderOf(real));
            if (!lock.held()) return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
            return body(lib);
        });
    }

} // namespace

StatusCode createLibrary(const char* library)
{
    return withLibrary(library, [&](const LibraryFile& lib) { return createAt(lib); });
}

StatusCode appendSlide(const char* library, const char* slideFile)
{
    return withLibrary(
        library, [&](const LibraryFile& lib) { return appendLocked(lib, orEmpty(slideFile)); });
}

StatusCode deleteSlide(const char* library, const char* name)
{
    return withLibrary(library, [&](const LibraryFile& lib) { return deleteLocked(lib, orEmpty(name)); });
}

StatusCode extractEntry(
    const char* directory, const char* library, const char* name, const std::vector<LibraryEntry>& entries)
{
    return guarded([&] {
        return extractLocked(orEmpty(directory), resolveLibrary(orEmpty(library)), orEmpty(name), entries);
    });
}

StatusCode extractSlide(const char* library, const char* name, const char* directory)
{
    return withLibrary(library, [&](const LibraryFile& lib) {
        // Held so that no rewrite moves the slides between reading the
        // directory and copying the bytes it points at.
        return extractSlideLocked(lib, orEmpty(name), orEmpty(directory));
    });
}

StatusCode explodeLibrary(const char* library, const char* directory)
{
    return explodeLibrary(library, directory, {});
}

StatusCode explodeLibrary(const char* library, const char* directory,
    const std::function<void(std::size_t, std::size_t, const std::string&)>& onSlide)
{
    return explodeLibrary(library, directory, onSlide, {});
}

StatusCode explodeLibrary(const char* library, const char* directory,
    const std::function<void(std::size_t, std::size_t, const std::string&)>& onSlide,
    const std::function<bool(const std::string&)>& write)
{
    return withLibrary(library, [&](const LibraryFile& lib) {
        platform::File file = openLibrary(lib);
        std::vector<LibraryEntry> entries = directoryOf(file, lib);
        if (entries.empty()) return lastStatus();
        // A later slide of a name already written would only write the first
        // one's bytes again (extraction finds a slide by name): it is not
        // written, and the explode, though it writes every other slide, does
        // not report success, naming that slide's file.
        std::set<std::string> written;
        std::string notWritten;
        for (const LibraryEntry& e : entries) {
            const std::string name = storedName(e.name);
            if (!written.insert(platform::toUpperAscii(name)).second) {
                if (notWritten.empty()) notWritten = outputText(orEmpty(directory), name);
                continue;
            }
            if (write && !write(name)) continue;
            if (StatusCode code = extractLocked(orEmpty(directory), lib, name.c_str(), entries, &file);
                code != Ok)
                return code;
            if (onSlide) onSlide(static_cast<std::size_t>(&e - entries.data()) + 1, entries.size(), name);
        }
        if (!notWritten.empty()) {
            platform::noteFailure(platform::IoOp::Write, notWritten, platform::SAME_NAME_WRITTEN);
            return setStatus(CannotOpen, notWritten.c_str(), nullptr);
        }
        return Ok;
    });
}

std::string extractedFileFor(const char* directory, const char* storedName)
{
    const std::string name = orEmpty(storedName);
    if (!isUsableName(name)) return {};
    return resolveTarget(outputText(orEmpty(directory), name)).native;
}

StatusCode removeSlide(const char* library, const char* name, const char* directory)
{
    return withLibrary(library, [&](const LibraryFile& lib) {
        // The extracted file must be on disk before the library loses the
        // slide, or a power failure could leave it nowhere.
        if (extractSlideLocked(lib, orEmpty(name), orEmpty(directory), true) != Ok) return lastStatus();
        return deleteLocked(lib, orEmpty(name)) == Ok ? Ok : lastStatus();
    });
}

StatusCode replaceSlide(const char* library, const char* slideFile)
{
    return withLibrary(library, [&](const LibraryFile& lib) {
        // A replace whose new slide cannot be read would only delete the
        // old one: find that out before touching the library.
        const std::string slideText = slideFileText(orEmpty(slideFile));
        if (slideText.size() > MAX_PATH_CHARS) return setStatus(CannotOpen, slideText.c_str(), nullptr);
        if (!platform::File::open(slideText, platform::OpenMode::Read).isOpen())
            return setStatus(CannotOpen, slideText.c_str(), nullptr);
        return replaceLocked(lib, orEmpty(slideFile));
    });
}

std::string slideFileFor(const char* slideFile)
{
    return slideFileText(orEmpty(slideFile));
}
std::string slideNameFor(const char* slideFile)
{
    return slideNameOf(orEmpty(slideFile));
}
std::string libraryFileFor(const char* library)
{
    return resolveLibrary(orEmpty(library)).writerText;
}
std::string libraryNativeFor(const char* library)
{
    return resolveLibrary(orEmpty(library)).native;
}

StatusCode renameSlide(const char* library, const char* oldName, const char* newName)
{
    return withLibrary(library, [&](const LibraryFile& lib) {
        platform::File old = openLibrary(lib);
        std::vector<LibraryEntry> entries = directoryOf(old, lib);
        if (entries.empty()) return lastStatus();
        std::string name = platform::toUpperAscii(orEmpty(newName));
        if (name.size() > SLIDE_NAME_MAX) name.resize(SLIDE_NAME_MAX);
        if (!isUsableName(name)) return setStatus(InvalidSlide, name.c_str(), nullptr);
        std::size_t found = entries.size();
        for (std::size_t i = 0; i < entries.size() && found == entries.size(); ++i)
            if (sameName(entries[i].name, orEmpty(oldName))) found = i;
        if (found == entries.size()) return setStatus(SlideNotFound, lib.written.c_str(), orEmpty(oldName));
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (i != found && sameName(entries[i].name, name))
                return setStatus(SlideExists, lib.written.c_str(), name.c_str());
        std::vector<Piece> pieces = piecesOf(entries);
        pieces[found].name = makeSlideName(name);
        return rewriteLibrary(lib, &old, pieces, nullptr, {});
    });
}

namespace {

    // Collects the items of a batch that cannot be done; decides, per the
    // options, whether the batch goes on without them.
    class BatchLog {
    public:
        explicit BatchLog(const BatchOptions& o)
            : options_(o)
        {
        }

        // Records the failure just set as the status against item. True when
        // the batch may go on without it.
        bool leaveOut(const std::string& item)
        {
            result_.problems.push_back(BatchProblem { item, lastStatus(), statusMessage(), statusCause() });
            return options_.keepGoing;
        }
        // For the steps that only look (a name to find, a file to measure),
        // every item is looked at so that each one left out is named; after
        // them, false when one was and the batch is all or nothing.
        bool mayGoOn() const { return options_.keepGoing || result_.problems.empty(); }
        void progress(std::size_t done, std::size_t total, const std::string& item) const
        {
            if (options_.progress) options_.progress(done, total, item);
        }
        // The result after the rewrite (or without one, when code is its code).
        BatchResult finish(StatusCode rewriteCode, bool rewritten)
        {
            result_.changed = rewritten && rewriteCode == Ok;
            result_.code = rewriteCode;
            // The status holds the last item left out; its code goes with it.
            if (rewriteCode == Ok && !result_.problems.empty()) result_.code = result_.problems.back().code;
            return result_;
        }

    private:
        const BatchOptions& options_;
        BatchResult result_;
    };

    template <class Body> BatchResult withBatch(const char* library, Body&& body)
    {
        BatchResult out;
        out.code = withLibrary(library, [&](const LibraryFile& lib) {
            out = body(lib);
            return out.code;
        });
        // withLibrary's own failures (the lock, memory) come without a result.
        return out;
    }

    // The added files of an append or replace batch, measured before anything
    // is written. Names already in `taken` (and each added name, for the ones
    // after it) are duplicates.
    bool gatherSlideFiles(const LibraryFile& lib, std::vector<OpenSlideFile>& files,
        std::vector<SlideName>& taken, BatchLog& log, std::vector<ExtraFile>& extras,
        std::vector<Piece>& added)
    {
        for (OpenSlideFile& f : files) {
            const std::string text = slideFileText(f.path);
            const std::string name = slideNameOf(f.path);
            bool fine = true;
            if (!isUsableName(name)) {
                fine = setStatus(InvalidSlide, text.c_str(), nullptr) == Ok;
            } else {
                for (const SlideName& t : taken)
                    if (fine && sameName(t, name))
                        fine = setStatus(SlideExists, lib.written.c_str(), name.c_str()) == Ok;
            }
            std::int64_t length = -1;
            if (fine) {
                if (f.file.isOpen()) {
                    length = f.file.length();
                } else if (!f.openFailure.file.empty()) {
                    platform::noteFailure(f.openFailure.op, f.openFailure.file, f.openFailure.error);
                }
                if (length < 0) fine = setStatus(CannotOpen, text.c_str(), nullptr) == Ok;
            }
            if (!fine) {
                log.leaveOut(f.item);
                continue;
            }
            taken.push_back(makeSlideName(name));
            Piece p { taken.back(), 0, length, true };
            p.extra = extras.size();
            extras.push_back(ExtraFile { f.item, length, &f.file });
            added.push_back(p);
        }
        return log.mayGoOn();
    }

    // Append and replace: kept are the old slides that stay.
    BatchResult addSlides(const LibraryFile& lib, platform::File& old, std::vector<Piece> kept,
        std::vector<SlideName> taken, std::vector<OpenSlideFile>& files, const BatchOptions& options)
    {
        BatchLog log(options);
        std::vector<ExtraFile> extras;
        std::vector<Piece> added;
        if (!gatherSlideFiles(lib, files, taken, log, extras, added)) return log.finish(lastStatus(), false);
        if (added.empty()) return log.finish(Ok, false);
        if (kept.size() + added.size() > MAX_LIBRARY_SLIDES)
            return log.finish(setStatus(NoMemory, nullptr, nullptr), false);
        kept.insert(kept.end(), added.begin(), added.end());
        const StatusCode code = rewriteLibrary(lib, old.isOpen() ? &old : nullptr, kept, extras,
            [&](std::size_t i) { log.progress(i + 1, extras.size(), extras[i].text); });
        return log.finish(code, true);
    }

    std::vector<OpenSlideFile> openAll(const std::vector<std::string>& slideFiles)
    {
        std::vector<OpenSlideFile> files;
        files.reserve(slideFiles.size());
        for (const std::string& f : slideFiles)
            files.push_back(openSlideFile(f));
        return files;
    }

    std::vector<SlideName> namesOf(const std::vector<Piece>& pieces)
    {
        std::vector<SlideName> names;
        for (const Piece& p : pieces)
            names.push_back(p.name);
        return names;
    }

    // The slides of lib without those named (each name matched without regard
    // to case); a name that matches nothing is a problem.
    bool withoutNames(const LibraryFile& lib, const std::vector<LibraryEntry>& entries,
        const std::vector<std::string>& names, BatchLog& log, std::vector<Piece>& kept,
        std::vector<std::string>* found)
    {
        std::vector<bool> drop(entries.size(), false);
        for (const std::string& n : names) {
            bool matched = false;
            for (std::size_t i = 0; i < entries.size(); ++i)
                if (sameName(entries[i].name, n)) drop[i] = matched = true;
            if (!matched) {
                setStatus(SlideNotFound, lib.written.c_str(), n.c_str());
                log.leaveOut(n);
            } else if (found) {
                found->push_back(n);
            }
        }
        if (!log.mayGoOn()) return false;
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (!drop[i])
                kept.push_back(Piece { entries[i].name, entries[i].offset, entries[i].size, false });
        return true;
    }

} // namespace

OpenSlideFile openSlideFile(const std::string& slideFile)
{
    OpenSlideFile f;
    f.item = slideFile;
    f.path = slideFile;
    const std::string text = slideFileText(slideFile);
    if (text.size() > MAX_PATH_CHARS) {
        f.openFailure = platform::IoFailure { platform::IoOp::Open, text, ENAMETOOLONG };
        return f;
    }
    platform::clearFailure();
    f.file = platform::File::open(text, platform::OpenMode::Read);
    if (!f.file.isOpen()) f.openFailure = platform::takeFailure();
    return f;
}

BatchResult appendSlides(
    const char* library, const std::vector<std::string>& slideFiles, const BatchOptions& options)
{
    std::vector<OpenSlideFile> files = openAll(slideFiles);
    return appendSlides(library, files, options);
}

BatchResult appendSlides(
    const char* library, std::vector<OpenSlideFile>& slideFiles, const BatchOptions& options)
{
    return withBatch(library, [&](const LibraryFile& lib) {
        platform::File old;
        std::vector<LibraryEntry> entries;
        if (!startingDirectory(lib, old, entries)) return BatchLog(options).finish(lastStatus(), false);
        std::vector<Piece> kept = piecesOf(entries);
        return addSlides(lib, old, kept, namesOf(kept), slideFiles, options);
    });
}

BatchResult replaceSlides(
    const char* library, const std::vector<std::string>& slideFiles, const BatchOptions& options)
{
    std::vector<OpenSlideFile> files = openAll(slideFiles);
    return replaceSlides(library, files, options);
}

BatchResult replaceSlides(
    const char* library, std::vector<OpenSlideFile>& slideFiles, const BatchOptions& options)
{
    return withBatch(library, [&](const LibraryFile& lib) {
        platform::File old;
        std::vector<LibraryEntry> entries;
        if (!startingDirectory(lib, old, entries)) return BatchLog(options).finish(lastStatus(), false);
        // Every slide a new file replaces leaves; the new ones go last.
        std::vector<Piece> kept;
        for (const LibraryEntry& e : entries) {
            bool replaced = false;
            for (const OpenSlideFile& f : slideFiles)
                replaced = replaced || sameName(e.name, slideNameOf(f.path));
            if (!replaced) kept.push_back(Piece { e.name, e.offset, e.size, false });
        }
        return addSlides(lib, old, kept, namesOf(kept), slideFiles, options);
    });
}

BatchResult deleteSlides(
    const char* library, const std::vector<std::string>& names, const BatchOptions& options)
{
    return withBatch(library, [&](const LibraryFile& lib) {
        BatchLog log(options);
        platform::File old = openLibrary(lib);
        std::vector<LibraryEntry> entries = directoryOf(old, lib);
        if (entries.empty()) return log.finish(lastStatus(), false);
        std::vector<Piece> kept;
        if (!withoutNames(lib, entries, names, log, kept, nullptr)) return log.finish(lastStatus(), false);
        if (kept.size() == entries.size()) return log.finish(Ok, false);
        return log.finish(rewriteLibrary(lib, &old, kept, nullptr, {}), true);
    });
}

BatchResult removeSlides(const char* library, const std::vector<std::string>& names, const char* directory,
    const BatchOptions& options)
{
    return withBatch(library, [&](const LibraryFile& lib) {
        BatchLog log(options);
        platform::File old = openLibrary(lib);
        std::vector<LibraryEntry> entries = directoryOf(old, lib);
        if (entries.empty()) return log.finish(lastStatus(), false);
        // Only what was written out leaves the library.
        std::vector<std::string> extracted;
        std::size_t done = 0;
        for (const std::string& n : names) {
            log.progress(++done, names.size(), n);
            // Each file is on disk before the library loses its slide, or a
            // power failure could leave it nowhere.
            if (extractLocked(orEmpty(directory), lib, n.c_str(), entries, &old, true) == Ok) {
                extracted.push_back(n);
            } else if (!log.leaveOut(n)) {
                return log.finish(lastStatus(), false);
            }
        }
        std::vector<Piece> kept;
        withoutNames(lib, entries, extracted, log, kept, nullptr);
        if (kept.size() == entries.size()) return log.finish(Ok, false);
        return log.finish(rewriteLibrary(lib, &old, kept, nullptr, {}), true);
    });
}

} // namespace qorvan

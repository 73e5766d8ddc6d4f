// The eight library functions: slb-append, slb-delete, slb-error,
// slb-explode, slb-extract, slb-list, slb-remove and slb-replace, and the
// steps they share (argument checks, the name-list value).
#include "host/handlers.h"

#include "host/arglist.h"
#include "host/arx/aced.h"
#include "host/banner.h"
#include "store/edit.h"
#include "store/library.h"
#include "store/status.h"

#include <cstring>
#include <new>

namespace qorvan::host {

int guarded(int (*body)()) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        setStatus(NoMemory, nullptr, nullptr);
    } catch (...) {
    }
    return RTERROR;
}

resbuf* slideNameList(const char* library, bool& ok)
{
    ok = true;
    const std::vector<SlideName> names = listSlides(library);
    // The same chain ArgList::appendString builds, linked through a tail
    // pointer: appending walks the whole chain each time, which for a
    // library of 10 000 slides costs hundreds of times more (bench_host).
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    for (const SlideName& name : names) {
        char text[SLIDE_NAME_SIZE + 1] = {};
        std::memcpy(text, name.bytes, SLIDE_NAME_SIZE);
        resbuf* node = ArgList::newStringNode(text, RTSTR);
        if (!node) {
            acutRelRb(head);
            setStatus(NoMemory, nullptr, nullptr);
            ok = false;
            return nullptr;
        }
        (tail ? tail->rbnext : head) = node;
        tail = node;
    }
    return head;
}

void returnSlideList(const char* library)
{
    bool ok = false;
    resbuf* chain = slideNameList(library, ok);
    if (!ok) {
        acedRetNil();
        return;
    }
    acedRetList(chain);
    // The host copied the chain; it is the module's to release.
    acutRelRb(chain);
}

namespace {

    // Up to three string arguments, each in a 256-byte buffer of its own.
    struct StringArgs {
        char text[3][ARG_BUFFER];
    };

    // Steps 1 to 4 of every library function: the banner, then at least `least`
    // arguments read as strings in order. False (messages printed) on failure.
    bool readStringArgs(int least, StringArgs& args)
    {
        printModuleBanner();
        ArgList list(acedGetArgs());
        if (!list.getHead() || list.argCount() < least) {
            acutPrintf("%s", TOO_FEW_ARGUMENTS);
            return false;
        }
        for (int i = 0; i < least; ++i) {
            if (list.getStringArg(i, args.text[i]) != RTNORM) {
                acutPrintf("%s", INVALID_ARGUMENT);
                return false;
            }
        }
        return true;
    }

    // Runs a two-argument store operation and sets the value from its result.
    int libraryFunction2(StatusCode (*operation)(const char*, const char*))
    {
        StringArgs args;
        if (!readStringArgs(2, args)) return RTERROR;
        if (operation(args.text[0], args.text[1]) == Ok) {
            returnSlideList(args.text[0]);
        } else {
            acedRetNil();
        }
        return RTNORM;
    }

    int libraryFunction3(StatusCode (*operation)(const char*, const char*, const char*))
    {
        StringArgs args;
        if (!readStringArgs(3, args)) return RTERROR;
        if (operation(args.text[0], args.text[1], args.text[2]) == Ok) {
            returnSlideList(args.text[0]);
        } else {
            acedRetNil();
        }
        return RTNORM;
    }

} // namespace

int slbAppend()
{
    return guarded([]() -> int { return libraryFunction2(appendSlide); });
}

int slbDelete()
{
    return guarded([]() -> int { return libraryFunction2(deleteSlide); });
}

int slbExplode()
{
    return guarded([]() -> int { return libraryFunction2(explodeLibrary); });
}

int slbReplace()
{
    return guarded([]() -> int { return libraryFunction2(replaceSlide); });
}

int slbExtract()
{
    return guarded([]() -> int { return libraryFunction3(extractSlide); });
}

int slbRemove()
{
    return guarded([]() -> int { return libraryFunction3(removeSlide); });
}

int slbList()
{
    return guarded([]() -> int {
        StringArgs args;
        if (!readStringArgs(1, args)) return RTERROR;
        returnSlideList(args.text[0]);
        return RTNORM;
    });
}

int slbError()
{
    return guarded([]() -> int {
        acedRetStr(statusMessage());
        return RTNORM;
    });
}

} // namespace qorvan::host

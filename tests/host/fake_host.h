// A scripted host for the module's unit tests: records what the module
// prints and defines, and lets a test set the invoked function code, the
// argument chain and the failures of acedDefun and acutNewRb.
#pragma once

#include "host/arx/aced.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace qorvan::testing {

struct FakeHost {
    std::string printed; // acutPrintf and acedPrompt, in order
    std::string prompted; // acedPrompt only
    std::vector<std::string> defined;
    std::vector<std::string> undefined;
    std::vector<short> definedCodes;
    int defunFailsAt = -1; // the call (from 0) that fails
    int defunCalls = 0;
    int funCode = -1;
    resbuf* args = nullptr;
    int newRbFailsAt = -1; // the call (from 0) that gives no node
    int newRbCalls = 0;
    long liveNodes = 0;

    enum class Ret { None, Nil, Void, Str, List } ret = Ret::None;
    std::string retStr;
    std::vector<std::string> retList; // the RTSTR texts of the returned chain
    std::vector<short> retTypes;

    std::vector<std::string> commandsAdded;
    std::vector<std::string> groupsRemoved;
    bool registryPresent = true;
    bool commandStackPresent = true;
    bool commandStackWrongClass = false;
    int unlockCalls = 0;
    int mdiCalls = 0;

    void reset();
};

FakeHost& fakeHost();

// A host-owned chain built from a description; released by freeChain.
struct Node {
    short type;
    std::string text; // for string types
    short value = 0; // for RTSHORT and group codes that are shorts
    double real = 0;
};
resbuf* makeChain(std::initializer_list<Node> nodes);
void freeChain(resbuf* chain);

} // namespace qorvan::testing

// The host functions a module calls: AutoLISP function definition and
// invocation, arguments and results, nodes, the command line, the main
// window and the UI support library. The host exports them with C linkage;
// a module resolves them when it is loaded.
//
// Ownership: acedRetList and acedRetStr copy what they are given. A module
// releases its own result chains with acutRelRb (strings in them allocated
// with malloc). Argument chains from acedGetArgs belong to the host.
#pragma once

#include "host/arx/adsdef.h"
#include "host/arx/rxobject.h"

typedef void* HWND;

extern "C" {

int acedDefun(const char* name, short functionCode);
int acedUndef(const char* name, short functionCode);
// The code of the function being invoked; negative when none is.
int acedGetFunCode();
// The invoked function's arguments; null when there are none.
struct resbuf* acedGetArgs();

int acedRetNil();
int acedRetVoid();
int acedRetT();
int acedRetStr(const char* text);
int acedRetList(const struct resbuf* chain);

// A new node of the given type with a null link and a zeroed value.
struct resbuf* acutNewRb(int type);
// Releases a chain: every node and the string of every string-typed node.
int acutRelRb(struct resbuf* chain);

int acutPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int acedPrompt(const char* text);

HWND adsw_acadMainWnd();
void InitAcUiDLL();

AcRxDictionary* acrxSysRegistry();
}

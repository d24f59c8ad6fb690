// Each key test asks for the key's state at this moment, not as the message
// queue last saw it: .T. while the key is down.
#include "ui/keys.h"

#include <windows.h>

#include "frame/kavro.h"

namespace {
void retKeyDown(int key) { kv::retLogical((GetAsyncKeyState(key) & 0x8000) != 0); }
}  // namespace

void S_ISALT(ParamBlock*) { retKeyDown(VK_MENU); }
void S_ISLALT(ParamBlock*) { retKeyDown(VK_LMENU); }
void S_ISRALT(ParamBlock*) { retKeyDown(VK_RMENU); }
void S_ISCTRL(ParamBlock*) { retKeyDown(VK_CONTROL); }
void S_ISLCTRL(ParamBlock*) { retKeyDown(VK_LCONTROL); }
void S_ISRCTRL(ParamBlock*) { retKeyDown(VK_RCONTROL); }
void S_ISSHIFT(ParamBlock*) { retKeyDown(VK_SHIFT); }
void S_ISLSHIFT(ParamBlock*) { retKeyDown(VK_LSHIFT); }
void S_ISRSHIFT(ParamBlock*) { retKeyDown(VK_RSHIFT); }

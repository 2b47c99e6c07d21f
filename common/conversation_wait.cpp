#include "conversation_wait.h"

bool ConversationAlive(const DdeLink& link) {
    CONVINFO info = {};
    info.cb = sizeof info;
    if (DdeQueryConvInfo(link.conversation, QID_SYNC, &info) == 0) return false;
    return (info.wStatus & ST_CONNECTED) != 0 && IsWindow(info.hwndPartner);
}

namespace {

// Dispatches the messages waiting in the thread's queue. Returns false, with
// the WM_QUIT taken from the queue, when one came; the messages behind it stay.
bool DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

}  // namespace

// Returns why the wait ended; changes nothing itself, but the messages it
// dispatches run the instance's callback. The clock is GetTickCount's, whose
// differences stay right across its wrap every 49.7 days.
WaitEnd WaitInConversation(const DdeLink& link, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (!DispatchWaitingMessages()) return WaitEnd::QuitAsked;
        if (!ConversationAlive(link)) {
            // A planetarium that posts a value and ends at once may have
            // done both since the queue was emptied: its value is queued
            // here already, and is handled before the loss is reported.
            if (!DispatchWaitingMessages()) return WaitEnd::QuitAsked;
            return WaitEnd::ConversationLost;
        }
        const DWORD elapsed = GetTickCount() - start;
        if (ms != INFINITE && elapsed >= ms) return WaitEnd::TimeUp;
        DWORD wait = kAliveCheckMs;
        if (ms != INFINITE && ms - elapsed < wait) wait = ms - elapsed;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

// Waiting in a conversation opened with a callback: the thread handles its
// messages, so that the DDE library can hand the callback what the
// planetarium sends, and watches that the planetarium is still there.
#ifndef ZENOLT_COMMON_CONVERSATION_WAIT_H
#define ZENOLT_COMMON_CONVERSATION_WAIT_H

#include "dde_link.h"

// How often a waiting conversation makes sure its planetarium is still there.
constexpr DWORD kAliveCheckMs = 250;

// Why WaitInConversation returned.
enum class WaitEnd {
    TimeUp,            // the time asked for has passed
    QuitAsked,         // a WM_QUIT arrived (taken from the queue)
    ConversationLost,  // the planetarium ended or dropped the conversation
};

// Returns whether the conversation of link is still connected to a
// planetarium whose window exists. A planetarium that ends sends its clients
// no terminate under Wine, so the state of the conversation alone can say
// connected long after its partner is gone.
bool ConversationAlive(const DdeLink& link);

// Handles the calling thread's messages (dispatching them, so the instance's
// callback runs on this thread) until ms milliseconds have passed (never,
// for INFINITE), a WM_QUIT arrives, or the conversation is found lost, which
// is checked after every wake and at least every kAliveCheckMs. Returns
// which. Messages already waiting are handled before anything else, also
// when ms is 0.
WaitEnd WaitInConversation(const DdeLink& link, DWORD ms);

#endif

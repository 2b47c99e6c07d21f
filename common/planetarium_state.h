// The planetarium's state, asked of its TCP command server and laid out as
// the data item of its DDE server was, so that a script reads the same five
// lines from either kind of planetarium.
#ifndef ZENOLT_COMMON_PLANETARIUM_STATE_H
#define ZENOLT_COMMON_PLANETARIUM_STATE_H

#include <string>

#include "data_record.h"
#include "tcp_conversation.h"

// How long each question of ZenoltDump may wait for its answer.
constexpr unsigned long kStateAnswerTimeoutMs = 30000;

// The answers the state is made of: each getter's reply as received (its
// first line without its line end), empty when the getter failed.
struct StateAnswers {
    std::string ra, dec, fov, selected, date, observatory;
};

// Returns the state's five lines, each ending in CR LF, in the server's
// text (UTF-8):
//   2026-12-08 13:41:15                        the local time asked
//   RA: 00h44m14s DEC:+41d25m18s FOV:+01d00m00s
//    00h44m14.08s<TAB>+41°25'17.6"<TAB> Gx<TAB>M 31 ...   the selected object
//   2026-12-08T13:41:15                        the chart's date
//   LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Switzerland/Test
// A value is its answer without a leading "OK! " (the selected object's
// without its first four bytes, so its own leading blank stays); the
// observatory gets a blank before LON:, ALT: and OBS:, which the server
// sends without. A refusal leaves its field empty.
std::string LayOutState(const RecordTime& asked, const StateAnswers& answers);

// Asks GETRA, GETDEC, GETFOV, GETSELECTEDOBJECT, GETDATE and GETOBS in the
// open conversation of link, each waiting up to answerMs for its answer, and
// returns true with state laid out by LayOutState, asked being the local
// time of the question; false when the conversation was lost meanwhile. A
// getter that is refused leaves its field empty. One not answered in time
// leaves its field and those of the getters after it empty, and they are
// not asked: a planetarium that is silent that long would make each wait
// as long again. Its reply is then still owed (link.owed is not empty).
bool AskPlanetariumState(TcpLink& link, const RecordTime& asked, unsigned long answerMs,
                         std::string& state);

// Sends command in the conversation at conversation and reads its whole
// reply, as SendTcpCommand does.
typedef TcpAnswer (*StateQuestion)(void* conversation, const std::string& command,
                                   unsigned long answerMs, std::string& reply);

// As AskPlanetariumState, each getter asked with ask in conversation.
bool AskStateWith(StateQuestion ask, void* conversation, const RecordTime& asked,
                  unsigned long answerMs, std::string& state);

#endif

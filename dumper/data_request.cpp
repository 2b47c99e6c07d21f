#include "data_request.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "../common/dde_link.h"
#include "data_dump.h"

namespace {

const DWORD kRequestTimeoutMs = 120000;
// Standard output is written in blocks this large: an item can be long, and
// every write to the device is a call into the system.
const std::size_t kOutputBlockSize = 64 * 1024;

}  // namespace

// Returns whether a conversation was opened; writes the dump to standard
// output. The item is received whole into a buffer of its own size, so no
// length of data can overrun it or be cut short. The data handle is not freed
// here: uninitialising the instance releases it.
bool RequestDataItem() {
    DdeLink link;
    const bool connected = OpenConversation(link);
    if (connected) {
        HDDEDATA data = DdeClientTransaction(nullptr, 0, link.conversation, link.item, CF_TEXT,
                                             XTYP_REQUEST, kRequestTimeoutMs, nullptr);
        const DWORD size = DdeGetData(data, nullptr, 0, 0);
        std::vector<unsigned char> received(size);
        const DWORD copied = DdeGetData(data, received.data(), size, 0);
        // Nothing has been written to standard output yet, so its buffering
        // may still be chosen. The stream is flushed when the process ends.
        std::setvbuf(stdout, nullptr, _IOFBF, kOutputBlockSize);
        WriteDataDump(stdout, received.data(), std::min<std::size_t>(copied, received.size()));
    }
    CloseConversation(link);
    return connected;
}

#include "sender_usage.h"

#include "../common/text_lines.h"

namespace {

// Printed exactly as they stand: the odd spacing of the OBSL line and the
// "Y:200" of the IDXY line included. 0xF8 is the degree sign of the console's
// OEM code pages 437 and 850; it is split from the digits after it so that
// they are not read as part of the escape.
const char* const kUsageLines[] = {
    "Zenolt v1.0 - Orvane - 2003",
    "",
    "USAGE: Zenolt command",
    "",
    "The following is a complete list of all CDC DDE commands.",
    "",
    "Zenolt",
    "Zenolt MOVE RA: 00h00m00.00s DEC:-00\xF8"
    "00'00.0\" FOV:+00\xF8"
    "00'00\"",
    "Zenolt FIND CAT: <catid> ID: <objid>",
    "Zenolt DATE YYYY-MM-DDTHH:MM:SS",
    "Zenolt OBSL LAT:+00d00m00.0s LON:+00d00m00.0s ALT:000mOBS: <obs name>",
    "Zenolt PDSS <cddrive> <imagepath> <imagename> <reuse>",
    "Zenolt SBMP <imagename.bmp>",
    "Zenolt SGIF <imagename.gif>",
    "Zenolt SJPG <imagename.jpg> <quality 1=lowest 100=highest>",
    "Zenolt IDXY X:<pixelx> Y:200<pixely>",
    "Zenolt GOXY X:<pixelx> Y:<pixely>",
    "Zenolt ZOM+",
    "Zenolt ZOM-",
    "Zenolt STA+",
    "Zenolt STA-",
    "Zenolt NEB+",
    "Zenolt NEB-",
    "Zenolt GREQ",
    "Zenolt GRAZ",
    "Zenolt GRNM",
    "Zenolt CONL",
    "Zenolt CONB",
    "Zenolt EQAZ",
    "Zenolt LOAD <chartname>",
    "Zenolt SAVE <chartname>",
    "",
    "For more information on each command refer to the CDC manual pages.",
};

}  // namespace

// Returns nothing; writes 33 lines to out.
void PrintSenderUsage(std::FILE* out) {
    WriteLines(out, kUsageLines, sizeof kUsageLines / sizeof kUsageLines[0]);
}

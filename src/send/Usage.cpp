#include "Usage.h"

#include <QCoreApplication>

namespace korima::send {

int ExitCodeOf(link::Outcome outcome) {
  switch (outcome) {
    case link::Outcome::FileError: return kExitFile;
    case link::Outcome::SocketError: return kExitSocket;
    case link::Outcome::NoReply: return kExitNoReply;
    case link::Outcome::Nak: return kExitNak;
    case link::Outcome::Bel: return kExitBel;
    case link::Outcome::Ful: return kExitFul;
    case link::Outcome::Stopped: return kExitInterrupted;
    case link::Outcome::Complete: return kExitComplete;
    case link::Outcome::None: break;  // no download ends without an outcome
  }
  return kExitSocket;
}

// Every line fits an 80-column terminal, in every language, with the
// descriptions in one column.
QString UsageText() {
  return QCoreApplication::translate(
      "korima::send::Usage",
      "Usage: korima-send [OPTIONS] FILE...\n"
      "       korima-send --check-hosts FILE\n"
      "       korima-send --history LOG [--since YYYY-MM-DD] [--json]\n"
      "Sends each FILE into the handheld terminal in its cradle, as KORIMA's start\n"
      "button does: \"MASTER\" until the terminal answers, one packet per line, \"END\".\n"
      "A FILE may be a folder: its *.csv and *.txt files, as the window lists them.\n"
      "Files go in the order given; a cradle's first failure ends that cradle's run.\n"
      "Several cradles run at once.\n"
      "\n"
      "Settings come from the settings file of the KORIMA window program beside this\n"
      "one; options override them for this run.\n"
      "  --host HOST[:PORT]     a cradle's address; give it once for each cradle\n"
      "                         (required unless the settings file has one)\n"
      "  --hosts FILE           cradles from FILE, one HOST or HOST:PORT a line\n"
      "                         (\"#\" starts a comment)\n"
      "  --port N               the cradles' UDP port, where HOST gives none\n"
      "  --local-port N         the local UDP port to bind, shared by all cradles\n"
      "  --title-line           line 1 of each file is a title and is not sent\n"
      "  --no-title-line        line 1 of each file is data\n"
      "  --settings FILE        read this settings file instead\n"
      "  --encoding ENC         auto (default): UTF-8 and UTF-16 files are converted\n"
      "                         to CP932, Shift-JIS and ASCII are sent as they are\n"
      "                         cp932: every file is sent as it is\n"
      "                         utf-8: every file is converted\n"
      "                         Every file is read through before it is sent.\n"
      "  --connect-timeout S    give up when \"MASTER\" has had no answer for S seconds\n"
      "                         (default 0: never)\n"
      "  --repeat[=N]           after each terminal, wait for the next one in the\n"
      "                         cradle: N terminals in all (default: until a signal)\n"
      "  --keep-going           with --repeat: a terminal that fails is recorded, and\n"
      "                         the cradle waits for the next one\n"
      "  --progress=MODE        auto (default: a bar on a tty, lines otherwise),\n"
      "                         bar, lines or none\n"
      "  -q, --quiet            print only failures\n"
      "  --json                 one JSON object per cradle and file on standard\n"
      "                         output, as each ends\n"
      "  --log FILE             append the same objects to FILE, one a line\n"
      "  --check-hosts FILE     check a hosts file, send nothing\n"
      "  --history LOG          terminals and files by day and cradle, from a log\n"
      "  --since YYYY-MM-DD     with --history: from that day on\n"
      "  -h, --help             show this help\n"
      "  --version              show the version\n"
      "\n"
      "Exit codes:\n"
      "  0    every file complete in every cradle (the terminal acknowledged END)\n"
      "  2    usage or settings error\n"
      "  3    a file cannot be read, is empty, or cannot be converted\n"
      "  4    socket error (bind, port, host)\n"
      "  5    no reply (a line or END timed out, or the connect timeout)\n"
      "  6    five sends without an ACK, the last answered NAK (a line or END)\n"
      "  7    BEL\n"
      "  8    FUL (the terminal's memory is full)\n"
      "  130  interrupted (SIGINT or SIGTERM)\n"
      "With several cradles, the code is that of the first cradle, in the order\n"
      "given, that failed. With --keep-going, a signal ends the run with 0, or with\n"
      "130 when it cut a transfer off.\n"
      "Details: man korima-send\n");
}

}  // namespace korima::send

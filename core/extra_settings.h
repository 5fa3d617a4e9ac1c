// /etc/Qor.extra: what this suite does beyond its classic settings record,
// all of it off until the administrator turns it on. Plain text, one setting a
// line, root's alone (it names programs root runs and holds a mail password):
//
//   # comment
//   PORT /dev/ttyUSB0                      further ports to search, in order (up to 8)
//   MAIL-SECURITY starttls                 plain (the default), starttls or tls
//   MAIL-PORT 587                          default: 25, 587 or 465 by the security
//   MAIL-AUTH any                          any (the default), plain or login
//   MAIL-USER ups@example.org              with MAIL-PASSWORD; never over plain
//   MAIL-PASSWORD "s3cret word"
//   MAIL-CA-FILE /etc/ssl/private-ca.pem   default: the system's authorities
//   COMMAND acfail,batterylow /usr/local/sbin/tell-chat --room ups
//   COMMAND-TIMEOUT 30                     seconds before a command is killed
//   OUTAGE-DELAY 0                         seconds a mains failure must last
//                                          before anyone is told
//
// Words are separated by blanks; a word in double quotes keeps its blanks, and
// a backslash takes the next character as it is. Keywords and event names are
// case-insensitive.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qor {

constexpr const char* kExtraSettingsPath = "/etc/Qor.extra";
constexpr size_t kMaxExtraBytes = 65536;
constexpr int kMaxExtraPorts = 8;
constexpr int kMaxCommands = 8;
constexpr int kMaxCommandWords = 16;
constexpr size_t kMaxExtraWord = 1024;
constexpr int kMaxCommandTimeoutSec = 3600;
constexpr int kMaxOutageDelaySec = 3600;

enum class MailSecurity { Plain, StartTls, Tls };
enum class MailAuth { Any, Plain, Login };

// Event bits of a command: 1 << EventKind for the four events, and the test
// notice sent from the options.
constexpr unsigned kCommandTestBit = 1u << 4;
constexpr unsigned kCommandAllEvents = 0x1f;

struct ExtraCommand {
    unsigned events = 0;
    std::vector<std::string> argv;  // argv[0]: the program, an absolute path
    bool operator==(const ExtraCommand& o) const { return events == o.events && argv == o.argv; }
};

struct ExtraSettings {
    std::vector<std::string> ports;
    MailSecurity mailSecurity = MailSecurity::Plain;
    int mailPort = 0;  // 0: the security's usual port
    MailAuth mailAuth = MailAuth::Any;
    std::string mailUser;
    std::string mailPassword;
    std::string mailCaFile;  // empty: the system's trusted authorities
    std::vector<ExtraCommand> commands;
    int commandTimeoutSec = 30;
    int outageDelaySec = 0;

    int effectiveMailPort() const;
    bool operator==(const ExtraSettings& o) const;
};

// Parses the file's text. False with the reason (line number and fault) in
// `why` when a line is damaged; `out` is then the defaults: a half-read file
// is never put in force.
bool parseExtraSettings(const char* text, size_t len, ExtraSettings& out, char* why, size_t whySize);

// The text that parses back into `s`.
std::string formatExtraSettings(const ExtraSettings& s);

// A word as the file writes it: quoted when it holds blanks, quotes,
// backslashes or a '#', so that the parser reads back `w` itself.
std::string extraWord(const std::string& w);

// The event names of the file, comma-separated ("acfail,test"), or "all".
std::string commandEventNames(unsigned events);

enum class ExtraLoad { Absent, Loaded, Refused };

// Reads and parses the file (an empty path: Absent). Refused, after one line
// to the system log, when the file is damaged or could have been written by
// someone other than root; `out` then holds the defaults.
ExtraLoad loadExtraSettings(const char* path, ExtraSettings& out);

// Writes the file whole, owner root, mode 0600. False (and one log line) when
// it could not be written; the old file is then left as it was.
bool saveExtraSettings(const char* path, const ExtraSettings& s);

}  // namespace qor

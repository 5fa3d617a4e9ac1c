// The further settings as the options of both editions edit them: a field per
// port and per command, the rest one field each. What is typed is read back by
// the file's own parser, so the options accept exactly what the file does.
#pragma once

#include <string>
#include <vector>

#include "extra_settings.h"

namespace qor {

struct ExtraFields {
    std::vector<std::string> ports;     // one path each; blank ones are left out
    MailSecurity security = MailSecurity::Plain;
    int mailPort = 0;                   // 0: the security's usual port
    MailAuth auth = MailAuth::Any;
    std::string user;
    std::string password;
    std::string caFile;
    std::vector<std::string> commands;  // "events program arguments..." in the file's words
    int commandTimeoutSec = 30;
    int outageDelaySec = 0;
};

ExtraFields extraFields(const ExtraSettings& s);

// The settings the fields describe. False with the reason in `why`, naming
// the field ("Port 2: PORT takes one absolute path"); `out` is then untouched.
bool extraFromFields(const ExtraFields& f, ExtraSettings& out, std::string& why);

}  // namespace qor

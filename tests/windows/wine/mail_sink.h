// The mail settings of the tests and what the SMTP sink (with_smtp_sink.sh)
// received: mail-N.bin (the DATA bytes), .env (MAIL FROM, then each RCPT TO),
// .time (arrival).
#pragma once

#include <string>
#include <vector>

#include "entry_lists.h"

namespace wt {

// `server` over a permanent connection (or one dialled when needed) and the
// address list, written as the setting pages write them.
void StoreMailSettings(const char* server, const std::vector<qorwin::AddressEntry>& addresses,
                       bool alwaysConnected = true);

bool SinkRunning();
std::string SinkFile(int n, const char* ext);
int MailCount();

}  // namespace wt

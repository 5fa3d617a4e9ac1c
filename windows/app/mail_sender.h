// One warning mail, sent by MailThread: dialling when needed, then the SMTP
// dialogue with the configured server on port 25.
#pragma once

namespace qorwin {

// kind: 0 power restored, 1 battery low, 2 AC failure, other "Normal Message".
void SendWarningMail(int kind);

}  // namespace qorwin

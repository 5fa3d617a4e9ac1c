// Where the notification threads say why a job could not go out as set.
#pragma once

namespace qorwin {

void NotifyLog(const char* text);

}  // namespace qorwin

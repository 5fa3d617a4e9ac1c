// The notification requests the line monitor raises. The mail and pager
// threads take them as posted thread messages.
#pragma once

namespace qorwin {

// kind: 0 power restored, 1 battery low, 2 AC failure.
void PostMail(int kind);
// code: 1 AC failure, 2 power restored, 3 battery low.
void PostPager(int code);

}  // namespace qorwin

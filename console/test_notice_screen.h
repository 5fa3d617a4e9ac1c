// "Send a Test" in the console: a screen over the menus that shows the test
// notice's progress, then a result per recipient, pager and command. The
// test runs on its own thread; this screen only reads its progress, and the
// monitor keeps ticking while it is open.
#pragma once

#include <memory>

#include "test_notice.h"

namespace qor::console {

// Shows `progress` (null: nothing was on to test) until Enter or Ctrl-X.
// Closing early leaves the test to finish on its own.
void runTestNoticeScreen(const std::shared_ptr<TestNoticeProgress>& progress);

}  // namespace qor::console

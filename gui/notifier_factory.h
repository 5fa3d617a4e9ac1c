// The notification dispatch of this build, when it has one.
#pragma once

#include <memory>

#include "engine_io.h"
#include "extra_settings.h"
#include "ups_settings.h"

namespace qor::gui {

// The desktop's dispatch on the shared settings record, or nullptr in a build
// without the notification layer (events are then recorded but not sent).
std::unique_ptr<Notifier> makeDefaultNotifier(UpsSettings& settings);

// Hands the further settings to the dispatch when `notifier` is this build's
// (a test's stand-in takes none).
void passExtraSettings(Notifier* notifier, const ExtraSettings& extra);

}  // namespace qor::gui

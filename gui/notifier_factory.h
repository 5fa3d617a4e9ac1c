// The notification dispatch of this build, when it has one.
#pragma once

#include <memory>

#include "engine_io.h"
#include "extra_settings.h"
#include "ups_settings.h"

class QWidget;

namespace qor::gui {

// The desktop's dispatch on the shared settings record, or nullptr in a build
// without the notification layer (events are then recorded but not sent).
std::unique_ptr<Notifier> makeDefaultNotifier(UpsSettings& settings);

// Gives a dispatch made above the further settings; nothing for another notifier.
void setNotifierExtraSettings(Notifier* notifier, const ExtraSettings& x);

// Whether this build can send a test notice (it has the notification layer).
bool canSendTest();
// Sends one with `shown` and `x` and shows its progress dialog (modal).
void sendTestNotice(QWidget* parent, const UpsSettings& shown, const ExtraSettings& x);

}  // namespace qor::gui

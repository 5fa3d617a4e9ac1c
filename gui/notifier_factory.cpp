#include "notifier_factory.h"

#ifdef QOR_HAVE_NOTIFY
#include "notify_dispatch.h"
#endif

namespace qor::gui {

std::unique_ptr<Notifier> makeDefaultNotifier(UpsSettings& settings) {
#ifdef QOR_HAVE_NOTIFY
    return std::make_unique<NotifyDispatch>(settings, Edition::Desktop);
#else
    (void)settings;
    return nullptr;
#endif
}

void passExtraSettings(Notifier* notifier, const ExtraSettings& extra) {
#ifdef QOR_HAVE_NOTIFY
    if (auto* dispatch = dynamic_cast<NotifyDispatch*>(notifier)) dispatch->setExtraSettings(extra);
#else
    (void)notifier;
    (void)extra;
#endif
}

}  // namespace qor::gui

#include "notifier_factory.h"

#ifdef QOR_HAVE_NOTIFY
#include "notify_dispatch.h"
#include "test_notice_dialog.h"
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

void setNotifierExtraSettings(Notifier* notifier, const ExtraSettings& x) {
#ifdef QOR_HAVE_NOTIFY
    if (auto* d = dynamic_cast<NotifyDispatch*>(notifier)) d->setExtraSettings(x);
#else
    (void)notifier;
    (void)x;
#endif
}

bool canSendTest() {
#ifdef QOR_HAVE_NOTIFY
    return true;
#else
    return false;
#endif
}

void sendTestNotice(QWidget* parent, const UpsSettings& shown, const ExtraSettings& x) {
#ifdef QOR_HAVE_NOTIFY
    openTestNotice(parent, shown, x);
#else
    (void)parent;
    (void)shown;
    (void)x;
#endif
}

}  // namespace qor::gui

#include "notify_requests.h"

#include <cstring>

#include "app_state.h"
#include "notify_switch.h"
#include "pager_dialogue.h"
#include "registry_store.h"
#include "registry_values.h"
#include "worker_threads.h"

namespace qorwin {

void PostMail(int kind) {
    RegistryStore store;
    if (!NotifyChannelOn(store, kNotifyEmailBit)) return;
    PostToThread(Workers().mailId, Messages().sendEmail, 0, static_cast<LPARAM>(kind));
}

void PostPager(int code) {
    RegistryStore store;
    if (!NotifyChannelOn(store, kNotifyPagerBit)) return;
    unsigned char list[kPagerListReadSize] = {};
    if (!ReadBlock(store, value::kPagerNumber, list, sizeof list) || list[0] == 0) return;
    char* copy = AllocPagerBuffer(sizeof list + kPagerListSlack);
    if (copy == nullptr) return;
    std::memcpy(copy, list, sizeof list);
    PagerJobStarted();
    if (!PostToThread(Workers().pagerId, Messages().makePager, static_cast<WPARAM>(code),
                      reinterpret_cast<LPARAM>(copy))) {
        // Nobody took it: the buffer is still ours, and no job runs.
        DropPagerJob(copy);
    }
}

}  // namespace qorwin

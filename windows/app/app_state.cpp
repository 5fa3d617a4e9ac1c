#include "app_state.h"

#include "language.h"
#include "string_ids.h"

namespace qorwin {
namespace {

AppMessages g_messages;
int g_portNumber = 0;
WorkerThreads g_workers;

}  // namespace

void RegisterAppMessages() {
    g_messages.warningType = RegisterWindowMessageA("Halvora Qor Warning Type");
    g_messages.makePager = RegisterWindowMessageA("Make Pager");
    g_messages.sendEmail = RegisterWindowMessageA("Send E-Mail");
}

const AppMessages& Messages() { return g_messages; }

int PortNumber() { return g_portNumber; }
void SetPortNumber(int n) { g_portNumber = n; }

WorkerThreads& Workers() { return g_workers; }

std::string WarningWindowTitle() {
    std::string title = Text(text::kWarningTitle);
    return title.empty() ? std::string("UPS Warning") : title;
}

}  // namespace qorwin

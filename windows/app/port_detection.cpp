#include "port_detection.h"

#include "language.h"
#include "line_probe.h"
#include "line_status.h"
#include "registry_store.h"
#include "registry_values.h"
#include "resource.h"
#include "string_ids.h"
#include "text_format.h"

namespace qorwin {

void ShowPortLine(HWND dialog, const char* portName) {
    char line[kTextBufferSize];
    FormatWithString(Text(text::kPortFormat).c_str(), portName, line, sizeof line);
    SetDlgItemTextA(dialog, IDC_PORT_LINE, line);
}

int DetectPort(HWND dialog) {
    RegistryStore store;
    char further[kPortBufferSize] = {};
    ReadText(store, value::kFurtherPort, further, sizeof further);
    int n = FindUpsPort([](const char* port) { return ProbeUpsLine(port); }, FurtherPortNumber(further));
    char name[8];
    PortNameOf(n, name, sizeof name);
    if (n != 0)
        ShowPortLine(dialog, name);
    else
        SetDlgItemTextA(dialog, IDC_PORT_LINE, Text(text::kPortNone).c_str());
    // On a first start the key is not there yet: create it, or the port
    // found is dropped and nothing is watched until the next start.
    store.EnsureKey();
    WriteText(store, value::kPort, name);
    return n;
}

}  // namespace qorwin

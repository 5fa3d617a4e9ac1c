#include "wininet_dialer.h"

#include <string>

#include "dll_function.h"
#include "text_format.h"

namespace qorwin {
namespace {

constexpr DWORD kConnectionModem = 1;       // INTERNET_CONNECTION_MODEM
constexpr DWORD kForceOnline = 1;           // INTERNET_AUTODIAL_FORCE_ONLINE
constexpr DWORD kForceUnattended = 2;       // INTERNET_AUTODIAL_FORCE_UNATTENDED
constexpr DWORD kUserCancelled = 631;
constexpr DWORD kPortDisconnected = 619;

// The plain name first, else its ANSI form.
template <typename Fn>
Fn Find(HMODULE lib, const char* name, const char* ansiName) {
    Fn f = DllFunction<Fn>(lib, name);
    return f != nullptr ? f : DllFunction<Fn>(lib, ansiName);
}

}  // namespace

bool WinInetDialer::Load() {
    lib_.reset(LoadLibraryA("WININET.DLL"));
    if (!lib_) {
        problem_ = "WININET.DLL not found";
        return false;
    }
    getConnectedState_ = Find<GetConnectedStateFn>(lib_.get(), "InternetGetConnectedState", "InternetGetConnectedStateA");
    dial_ = Find<DialFn>(lib_.get(), "InternetDial", "InternetDialA");
    hangUp_ = Find<HangUpFn>(lib_.get(), "InternetHangUp", "InternetHangUpA");
    // Looked up with the others; the sending path has no use for them.
    (void)Find<AutodialFn>(lib_.get(), "InternetAutodial", "InternetAutodial");
    (void)Find<AutodialHangupFn>(lib_.get(), "InternetAutodialHangup", "InternetAutodialHangup");
    const char* missing = !getConnectedState_ ? "InternetGetConnectedState"
                          : !dial_            ? "InternetDial"
                          : !hangUp_          ? "InternetHangUp"
                                              : nullptr;
    if (missing) {
        problem_ = std::string("WININET.DLL has no ") + missing;
        getConnectedState_ = nullptr;
        dial_ = nullptr;
        hangUp_ = nullptr;
        return false;
    }
    return true;
}

bool WinInetDialer::NeedsDial() {
    if (!getConnectedState_) return false;
    DWORD flags = 0;
    return !getConnectedState_(&flags, 0) || (flags & kConnectionModem) == 0;
}

bool WinInetDialer::Dial(const char* connectionName) {
    if (!dial_) return false;
    char name[256];
    CopyText(name, sizeof name, connectionName);
    DWORD_PTR connection = 0;
    DWORD r = dial_(nullptr, name, kForceUnattended, &connection, 0);
    if (r != 0) problem_ = "Dial-up of \"" + std::string(name) + "\" failed with error " + std::to_string(r);
    if (r == kUserCancelled || r == kPortDisconnected) return false;
    if (r != 0) {
        char none[1] = {'\0'};
        connection = 0;
        DWORD again = dial_(nullptr, none, kForceOnline, &connection, 0);
        if (again != 0) {
            problem_ += ", and of the default connection with error " + std::to_string(again);
            return false;
        }
    }
    connection_ = connection;
    dialled_ = true;
    return true;
}

void WinInetDialer::HangUp() {
    if (hangUp_ && dialled_) hangUp_(connection_, 0);
    connection_ = 0;
    dialled_ = false;
}

}  // namespace qorwin

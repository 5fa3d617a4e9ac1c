// Dial-up through WinInet, loaded by name: the library is optional, so a
// system without it (or without one of its functions) still mails over a
// permanent connection.
#pragma once

#include <windows.h>

#include <string>

#include "win_raii.h"

namespace qorwin {

class WinInetDialer {
public:
    // Loads "WININET.DLL" and looks up the three functions it uses; on failure
    // Problem() says what is missing and the dialer never dials.
    bool Load();
    const std::string& Problem() const { return problem_; }

    // True when there is no modem connection up (InternetGetConnectedState).
    bool NeedsDial();
    // Dials the named connection unattended; on a result other than 631
    // (cancelled) or 619 (port disconnected) tries once more with the default
    // connection forced online. True when a link is up afterwards; otherwise
    // Problem() names the connection and the results.
    bool Dial(const char* connectionName);
    // Hangs up a link Dial brought up.
    void HangUp();
    bool Dialled() const { return dialled_; }

private:
    using GetConnectedStateFn = BOOL(WINAPI*)(LPDWORD, DWORD);
    using DialFn = DWORD(WINAPI*)(HWND, LPSTR, DWORD, DWORD_PTR*, DWORD);
    using HangUpFn = DWORD(WINAPI*)(DWORD_PTR, DWORD);
    using AutodialFn = BOOL(WINAPI*)(DWORD, HWND);
    using AutodialHangupFn = BOOL(WINAPI*)(DWORD);

    UniqueModule lib_;
    GetConnectedStateFn getConnectedState_ = nullptr;
    DialFn dial_ = nullptr;
    HangUpFn hangUp_ = nullptr;
    DWORD_PTR connection_ = 0;
    bool dialled_ = false;
    std::string problem_;
};

}  // namespace qorwin

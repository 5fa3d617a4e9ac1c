/* A WININET.DLL whose dial-up always fails: no connection is up and every
   dial ends with error 691 (the remote end refused the account). Copied
   beside the test program as wininet.dll for one test. */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI InternetGetConnectedState(LPDWORD flags, DWORD reserved) {
    (void)reserved;
    if (flags) *flags = 0;
    return FALSE;
}

__declspec(dllexport) DWORD WINAPI InternetDial(HWND parent, LPSTR name, DWORD how, DWORD_PTR* connection,
                                                DWORD reserved) {
    (void)parent;
    (void)name;
    (void)how;
    (void)reserved;
    if (connection) *connection = 0;
    return 691;
}

__declspec(dllexport) DWORD WINAPI InternetHangUp(DWORD_PTR connection, DWORD reserved) {
    (void)connection;
    (void)reserved;
    return 0;
}

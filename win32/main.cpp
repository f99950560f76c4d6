// quorvel.exe: the Win32 window over the same core as quorvel-cli.exe. It
// takes no arguments and always talks to the real marketplace.

#include <windows.h>

#include "win32/start.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    return quorvel::win32::run_main_window(instance, show);
}

// SPDX-License-Identifier: MIT
// Sleeps 20 s, then ends with 3: a process that only a kill ends with 0.
#include <windows.h>

int main()
{
    ::Sleep(20000);
    return 3;
}

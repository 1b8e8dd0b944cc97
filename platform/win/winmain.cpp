// The program entry of a framework program (target platform_winmain).
#include "platform/win/app.h"

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmdLine, int cmdShow) { return AfxWinMain(inst, cmdLine, cmdShow); }

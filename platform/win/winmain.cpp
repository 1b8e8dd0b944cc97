// The program entry of a framework program. Kept in its own file so that only
// programs that need it (those without main) pull it from the library.
#include "platform/win/app.h"

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmdLine, int cmdShow) {
  return AfxWinMain(inst, cmdLine, cmdShow);
}

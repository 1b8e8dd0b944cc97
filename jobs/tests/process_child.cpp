// A process for the process-check tests: runs until the named event is set (at most
// two minutes), then exits with code 0; 2 when the event cannot be opened.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HANDLE ev = OpenEventA(SYNCHRONIZE, FALSE, argv[1]);
  if (!ev) return 2;
  WaitForSingleObject(ev, 120000);
  CloseHandle(ev);
  return 0;
}

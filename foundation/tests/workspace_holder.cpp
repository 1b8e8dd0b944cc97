// Opens a workspace and waits to be killed: the workspace test checks that the file
// goes with the process.
//
//   workspace_holder <program folder without trailing "\"> <file to receive the path>
#include <cstdio>

#include "foundation/settings.h"
#include "foundation/workspace.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  g_strAppFolder = CString(argv[1]) + "\\";
  CWorkspace ws;
  if (!ws.Open(kWorkspaceReserved + kWorkspaceSlotSize * 1000)) return 1;
  // Written under another name first, so the test never reads half a path.
  CString tmp = CString(argv[2]) + ".tmp";
  FILE* f = fopen(tmp, "wb");
  if (!f) return 1;
  fputs(ws.GetPath(), f);
  fclose(f);
  if (!MoveFileA(tmp, argv[2])) return 1;
  Sleep(60000);
  return 0;
}

// Program entry of the screen saver.
#include <windows.h>

#include "app/uMain.h"
#include "app/uProgram.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return zembra::RunSaverProgram<zembra::TfrmMain>();
}

// The demo client (Quillorane.exe and QuilloraneEmulator.exe in the client's
// working folder, QuilloraneLauncher.exe beside the uninstaller): the program
// the installer starts once the product is in place. It records the command line it was given (the pseudo-protocol URL
// and the launch options) beside itself and ends.
#include "testing/demo_components/demo_record.h"

int main() { return demo::AppendCommandLineRecord() ? 0 : 1; }

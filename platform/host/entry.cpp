// The Linux process entry: takes the command line, then runs the program.
#include "host_control.h"

int DravolinMain();

int main(int argc, char** argv) {
    if (!host::TakeCommandLine(argc, argv)) return 0;  // the usage text was asked for
    return DravolinMain();
}

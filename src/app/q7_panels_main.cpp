// The panels: started by q7 in its own place when no command is given.
#include "app/program.h"

int main(int argc, char** argv) {
    return runProgram(argc, argv);
}

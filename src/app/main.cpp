// varnel: the desktop program.
#include "app/Program.h"

int main(int argc, char *argv[])
{
    return varnel::app::runProgram(argc, argv);
}

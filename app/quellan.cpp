// The console program quellan: the account window keeps the password masked throughout.
#include "app/console_program.h"

int main(int argc, char** argv)
{
    return app::runConsoleProgram(argc, argv, false);
}

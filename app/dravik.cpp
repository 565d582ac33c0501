// The console program dravik: the account window shows the password while it is typed.
#include "app/console_program.h"

int main(int argc, char** argv)
{
    return app::runConsoleProgram(argc, argv, true);
}

#include "runtime/runtime_main.hpp"

// The C runtime's start-up code calls main, for the GUI subsystem too, once it has initialised
// itself, and passes the result to exit.
int main(int argc, char** argv, char** envp) { return vora::runtime_main(argc, argv, envp); }

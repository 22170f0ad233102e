#include "run/invocation.h"

int main(int argc, char** argv) { return RunVorn(argc, argv); }

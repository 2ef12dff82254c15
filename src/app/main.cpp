#include "shell/StartUp.h"

int main(int argc, char** argv) { return runServer(argc, argv); }

#pragma once

// The program's command line: opens the window, or does what an option asks and exits.
int runKorvel(int argc, char** argv);

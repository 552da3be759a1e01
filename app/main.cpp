#include "CommandLine.h"

int main(int argc, char** argv)
{
    return runKorvel(argc, argv);
}

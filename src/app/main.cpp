#include "app/startup.h"

int main(int argc, char **argv)
{
    return runTirlada(argc, argv);
}

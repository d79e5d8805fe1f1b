#include "app/startup.h"

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(TIRLADA_VERSION));
    return runTirlada(argc, argv);
}

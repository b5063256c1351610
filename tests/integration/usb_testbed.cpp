// The USB test bed for a test script: plugs the hold hardware in, prints the
// two variables a program needs to see it (UMOCKDEV_DIR and LD_PRELOAD),
// then pulls it out at "pull" and plugs it back at "plug" on standard input,
// answering "done" to each. Ends at the end of its input.
#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "Testbed.h"

using namespace quindra::testing;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Testbed bed;
    const QString port = QStringLiteral("1-1");
    MockUsbDevice hold = bed.plugHoldHardware(port, 0);
    std::printf("UMOCKDEV_DIR=%s\nLD_PRELOAD=%s\nready\n", qPrintable(bed.root()),
                UmockdevPreload().constData());
    std::fflush(stdout);
    for (std::string command; std::getline(std::cin, command);) {
        if (command == "pull")
            bed.pull(hold);
        else if (command == "plug")
            hold = bed.plugHoldHardware(port, 0);
        else
            continue;
        std::printf("done\n");
        std::fflush(stdout);
    }
    return 0;
}

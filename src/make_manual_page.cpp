// Build-time tool: writes quarvo(1) from the syntax texts to the file named
// by its argument.
#include "batch/manual_page.h"

#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_manual_page <output file>\n", stderr);
        return 1;
    }
    QSaveFile page(QString::fromLocal8Bit(argv[1]));
    if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        page.write(ManualPage::roff(QStringLiteral(QUARVO_VERSION)).toUtf8()) < 0 ||
        !page.commit()) {
        std::fprintf(stderr, "make_manual_page: %s cannot be written\n", argv[1]);
        return 1;
    }
    return 0;
}

// Writes the installed icon files from the program's own artwork: a
// scalable SVG and PNGs at the sizes given.
//
//   quindra_make_icons OUTPUT_DIR SIZE...

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "window/Artwork.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR SIZE...\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 1;

    QSvgGenerator svg;
    svg.setFileName(out.filePath(QStringLiteral("quindra.svg")));
    svg.setSize(QSize(64, 64));
    svg.setViewBox(QRect(0, 0, 64, 64));
    svg.setTitle(QStringLiteral("Quindra"));
    {
        QPainter p(&svg);
        quindra::PaintProgramIcon(p, 64);
    }

    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0)
            return 2;
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            quindra::PaintProgramIcon(p, size);
        }
        if (!image.save(out.filePath(QStringLiteral("quindra-%1.png").arg(size))))
            return 1;
    }
    return 0;
}

// Build tool: draws the program's SVG pictures at the sizes it shows them, into
// raw files the program reads without an SVG renderer or image plugins:
// SIZE × SIZE premultiplied ARGB32 pixels, row by row, in this machine's byte
// order (the files are made where the program is built).
//   lumivox_iconraster OUTDIR SIZE[,SIZE...] PICTURE.svg [PICTURE.svg ...]
// writes OUTDIR/PICTURE-SIZE.argb for every picture and size.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: lumivox_iconraster OUTDIR SIZE[,SIZE...] PICTURE.svg...\n");
        return 2;
    }
    const QDir out(args[1]);
    QDir().mkpath(out.path());
    QList<int> sizes;
    for (const QString &size : args[2].split(u','))
        sizes << size.toInt();
    for (const QString &svg : args.mid(3)) {
        const QIcon icon(svg);
        for (const int size : sizes) {
            const QPixmap drawn = icon.pixmap(size, size);
            if (drawn.isNull() || size <= 0) {
                std::fprintf(stderr, "cannot draw %s at %d pixels\n", qPrintable(svg), size);
                return 1;
            }
            // A picture that is not square is drawn centred on a clear square.
            QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.drawPixmap((size - drawn.width()) / 2, (size - drawn.height()) / 2, drawn);
            painter.end();
            QFile file(out.filePath(QStringLiteral("%1-%2.argb").arg(QFileInfo(svg).completeBaseName()).arg(size)));
            const QByteArray pixels(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
            if (!file.open(QIODevice::WriteOnly) || file.write(pixels) != pixels.size() || !file.flush()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    return 0;
}

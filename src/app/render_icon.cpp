// Renders the program's SVG icon to the PNG sizes of the hicolor theme, at
// build time, so only the drawing is kept in the source tree.
//   varnel_render_icon ICON.svg OUTPUT_DIR SIZE...
// writes OUTPUT_DIR/SIZExSIZE/apps/varnel.png for each size.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: varnel_render_icon ICON.svg OUTPUT_DIR SIZE...\n");
        return 2;
    }
    // Painting into an image needs no application object and no display;
    // the drawing holds no text, so no fonts either.
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "varnel_render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "varnel_render_icon: not a size: %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            svg.render(&painter, QRectF(0, 0, size, size));
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = out.filePath(folder + QStringLiteral("/varnel.png"));
        if (!out.mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "varnel_render_icon: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}

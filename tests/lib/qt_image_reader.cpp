// A Qt program of someone else's that knows nothing of slides: it reads
// every image of a file with QImageReader, as Qt 5 and Qt 6 programs do,
// and writes each as a PAM picture into a folder (0.pam, 1.pam, ...).
//
// Usage: qt_image_reader FILE OUTDIR [WIDTH HEIGHT]
// Prints the format, the image count and the formats Qt can read.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: qt_image_reader FILE OUTDIR [WIDTH HEIGHT]\n");
        return 2;
    }
    const QByteArrayList formats = QImageReader::supportedImageFormats();
    std::printf(
        "supported sld %d slb %d\n", formats.contains("sld") ? 1 : 0, formats.contains("slb") ? 1 : 0);
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    if (argc == 5) reader.setScaledSize(QSize(std::atoi(argv[3]), std::atoi(argv[4])));
    std::printf("format %s\ncount %d\nsize %dx%d\n", reader.format().constData(), reader.imageCount(),
        reader.size().width(), reader.size().height());
    const int count = reader.imageCount();
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i)) {
            std::fprintf(stderr, "jumpToImage(%d) failed\n", i);
            return 1;
        }
        QImage image = reader.read();
        if (image.isNull()) {
            std::fprintf(stderr, "image %d: %s\n", i, reader.errorString().toLocal8Bit().constData());
            return 1;
        }
        image = image.convertToFormat(QImage::Format_RGBA8888);
        QFile out(QString::fromLocal8Bit(argv[2]) + "/" + QString::number(i) + ".pam");
        if (!out.open(QIODevice::WriteOnly)) return 1;
        out.write(QString("P7\nWIDTH %1\nHEIGHT %2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n")
                      .arg(image.width())
                      .arg(image.height())
                      .toLatin1());
        for (int y = 0; y < image.height(); ++y)
            out.write(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4);
        std::printf("image %d %dx%d\n", i, image.width(), image.height());
    }
    return 0;
}

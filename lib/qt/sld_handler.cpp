#include "sld_handler.h"

#include <QIODevice>
#include <QImage>
#include <QVariant>

#include <cstring>

namespace {

constexpr char SLIDE[] = "AutoCAD Slide\r\n\x1a";
constexpr char LIBRARY[] = "AutoCAD Slide Library 1.0\r\n\x1a";

} // namespace

SldHandler::~SldHandler()
{
    qorvan_close(file_);
}

bool SldHandler::canRead(QIODevice* device)
{
    if (!device) return false;
    const QByteArray head = device->peek(sizeof LIBRARY);
    return head.startsWith(QByteArray(SLIDE, sizeof SLIDE))
        || head.startsWith(QByteArray(LIBRARY, sizeof LIBRARY));
}

bool SldHandler::canRead() const
{
    if (loaded_) return file_ && current_ < imageCount();
    if (!canRead(device())) return false;
    const_cast<SldHandler*>(this)->setFormat(
        device()->peek(sizeof LIBRARY).startsWith("AutoCAD Slide Library") ? "slb" : "sld");
    return true;
}

bool SldHandler::load() const
{
    if (loaded_) return file_ != nullptr;
    loaded_ = true;
    if (!device()) return false;
    const QByteArray bytes = device()->readAll();
    const QByteArray name = device()->objectName().toLocal8Bit();
    if (qorvan_open_memory(bytes.constData(), static_cast<size_t>(bytes.size()),
            name.isEmpty() ? nullptr : name.constData(), &file_)
        != QORVAN_OK) {
        qWarning("%s", qorvan_last_error());
        file_ = nullptr;
    }
    return file_ != nullptr;
}

QSize SldHandler::naturalSize() const
{
    qorvan_slide_info info {};
    info.struct_size = sizeof info;
    if (!load() || qorvan_slide_info_get(file_, static_cast<size_t>(current_), &info) != QORVAN_OK) return {};
    return { info.width, info.height };
}

bool SldHandler::read(QImage* image)
{
    if (!load() || current_ >= imageCount()) return false;
    const QSize size = scaledSize_.isValid() && !scaledSize_.isEmpty() ? scaledSize_ : naturalSize();
    if (size.isEmpty()) return false;
    QImage out(size, QImage::Format_RGBA8888);
    if (out.isNull()) {
        qWarning("not enough memory for a picture of %d x %d", size.width(), size.height());
        return false;
    }
    if (qorvan_render(file_, static_cast<size_t>(current_), nullptr, size.width(), size.height(), out.bits(),
            static_cast<size_t>(out.bytesPerLine()))
        != QORVAN_OK) {
        qWarning("%s", qorvan_last_error());
        return false;
    }
    *image = out;
    // The next read draws the next slide, as with any file of many images.
    ++current_;
    return true;
}

bool SldHandler::supportsOption(ImageOption option) const
{
    return option == Size || option == ScaledSize || option == ImageFormat || option == Animation;
}

QVariant SldHandler::option(ImageOption option) const
{
    switch (option) {
    case Size:
        return naturalSize();
    case ScaledSize:
        return scaledSize_;
    case ImageFormat:
        return QImage::Format_RGBA8888;
    case Animation:
        return false; // the slides of a library are pictures, not frames of a film
    default:
        return {};
    }
}

void SldHandler::setOption(ImageOption option, const QVariant& value)
{
    if (option == ScaledSize) scaledSize_ = value.toSize();
}

int SldHandler::imageCount() const
{
    return load() ? static_cast<int>(qorvan_slide_count(file_)) : 0;
}

bool SldHandler::jumpToImage(int imageNumber)
{
    if (imageNumber < 0 || imageNumber >= imageCount()) return false;
    current_ = imageNumber;
    return true;
}

bool SldHandler::jumpToNextImage()
{
    return jumpToImage(current_ + 1);
}

int SldHandler::currentImageNumber() const
{
    return current_;
}

QImageIOPlugin::Capabilities SldPlugin::capabilities(QIODevice* device, const QByteArray& format) const
{
    if (format == "sld" || format == "slb") return CanRead;
    if (!format.isEmpty() || !device || !device->isOpen()) return {};
    return SldHandler::canRead(device) ? CanRead : Capabilities();
}

QImageIOHandler* SldPlugin::create(QIODevice* device, const QByteArray& format) const
{
    auto* handler = new SldHandler;
    handler->setDevice(device);
    handler->setFormat(format);
    return handler;
}

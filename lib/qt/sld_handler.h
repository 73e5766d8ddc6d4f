// Slides and slide libraries for Qt's image readers, Qt 5 and Qt 6 alike:
// a library is one file of many images, its slides in order
// (imageCount, jumpToImage), and a scaled size is drawn at that size.
#pragma once

#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QSize>

#include <qorvan/qorvan.h>

class SldHandler final : public QImageIOHandler {
public:
    SldHandler() = default;
    ~SldHandler() override;
    SldHandler(const SldHandler&) = delete;
    SldHandler& operator=(const SldHandler&) = delete;

    static bool canRead(QIODevice* device);

    bool canRead() const override;
    bool read(QImage* image) override;
    bool supportsOption(ImageOption option) const override;
    QVariant option(ImageOption option) const override;
    void setOption(ImageOption option, const QVariant& value) override;
    int imageCount() const override;
    bool jumpToImage(int imageNumber) override;
    bool jumpToNextImage() override;
    int currentImageNumber() const override;
    int loopCount() const override { return 0; }
    int nextImageDelay() const override { return 0; }

private:
    // Reads the device whole the first time anything is asked of it.
    bool load() const;
    QSize naturalSize() const;

    mutable qorvan_file* file_ = nullptr;
    mutable bool loaded_ = false;
    int current_ = 0;
    QSize scaledSize_;
};

class SldPlugin final : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "sld.json")
public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    QImageIOHandler* create(QIODevice* device, const QByteArray& format = QByteArray()) const override;
};

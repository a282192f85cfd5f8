#include "CompressionFixture.h"
#include "core/Heif.h"
#include "core/MediaFixtures.h"

#include <variant>

using namespace Qt::StringLiterals;

namespace {
using Error = CompressionService::CompressionError;

// What the HEIC file itself says, read without our decoder.
struct HeicFacts
{
    QSize size;
    bool alpha = false;
    QByteArray iccProfile;
};

std::optional<HeicFacts> heicFacts(const QString& file)
{
    heif::Context context(heif_context_alloc());
    if (!heif::ok(heif_context_read_from_file(context.get(), QFile::encodeName(file).constData(), nullptr)))
        return std::nullopt;
    heif_image_handle* raw = nullptr;
    if (!heif::ok(heif_context_get_primary_image_handle(context.get(), &raw)))
        return std::nullopt;
    heif::Handle handle(raw);
    HeicFacts facts{{heif_image_handle_get_width(raw), heif_image_handle_get_height(raw)},
                    bool(heif_image_handle_has_alpha_channel(raw)),
                    {}};
    facts.iccProfile.resize(qsizetype(heif_image_handle_get_raw_color_profile_size(raw)));
    if (!facts.iccProfile.isEmpty())
        heif_image_handle_get_raw_color_profile(raw, facts.iccProfile.data());
    return facts;
}

QImage sixteenBit(QSize size)
{
    QImage image = images::interface(size).convertToFormat(QImage::Format_RGBX64);
    return image;
}

QImage withProfile(QImage image)
{
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    return image;
}
} // namespace

class HeicRenditionTest : public CompressionFixture
{
protected:
    // Encodes `source` beside it and decodes the rendition with the program's
    // own loader.
    QImage rendition(const QString& source, double quality = 0.9)
    {
        const QString target = CompressionService::renditionPath(source, u"heic"_s);
        const auto written = m_service.compressImage(source, target, quality);
        EXPECT_TRUE(std::holds_alternative<qint64>(written)) << source.toStdString();
        if (const auto* size = std::get_if<qint64>(&written)) {
            EXPECT_EQ(*size, QFileInfo(target).size());
        }
        return ImageLoader::load(target);
    }
};

TEST_F(HeicRenditionTest, SizesOrientationAndTransparencySurvive)
{
    struct Case
    {
        QString name;
        QImage image;
        const char* format;
        QSize upright;
        bool transparent;
    };
    const QImage quadrants = fixtures::quadrants(320, 160);
    const QString rotated = path(u"rotated.jpg"_s);
    ASSERT_TRUE(fixtures::writeBytes(rotated, fixtures::jpegWithOrientation(quadrants, 6)));
    const Case cases[] = {
        {u"interface.png"_s, images::interface(QSize(1920, 1080)), "PNG", QSize(1920, 1080), false},
        {u"camera.jpg"_s, images::interface(QSize(4032, 3024)), "JPG", QSize(4032, 3024), false},
        {u"window.png"_s, images::halfTransparent(images::interface(QSize(800, 600))), "PNG", QSize(800, 600), true},
        {u"palette.png"_s, images::paletteWithTransparency(QSize(256, 256)), "PNG", QSize(256, 256), true},
        {u"deep.png"_s, sixteenBit(QSize(640, 400)), "PNG", QSize(640, 400), false},
    };
    const CompressionService::Encoder real = m_service.encoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        // Twelve megapixels take seconds at the real preset; what is checked
        // here does not depend on it.
        m_service.setEncoder(
            c.upright.width() > 4000
                ? [](const QImage& image, int quality) { return HeicWriter::encode(image, quality, "ultrafast"); }
                : real);
        const QString source = addImage(c.name, c.image, c.format);
        const QImage decoded = rendition(source);
        EXPECT_EQ(decoded.size(), c.upright);
        EXPECT_EQ(heicFacts(CompressionService::renditionPath(source, u"heic"_s))->alpha, c.transparent);
        if (c.transparent) {
            EXPECT_TRUE(images::alphaAt(decoded, 0, 0) || images::alphaAt(decoded, c.upright.width() - 1, 0));
        }
    }

    // Turned upright before encoding, with no orientation left for viewers to apply twice.
    const QImage upright = rendition(rotated);
    EXPECT_EQ(upright.size(), QSize(160, 320));
    EXPECT_EQ(fixtures::layoutOf(upright), fixtures::layoutOf(ImageLoader::load(rotated)));
    EXPECT_EQ(heicFacts(CompressionService::renditionPath(rotated, u"heic"_s))->size, QSize(160, 320));
}

TEST_F(HeicRenditionTest, TransparencyIsWhereItWasAndOpaqueAlphaIsDropped)
{
    const QImage window = rendition(addImage(u"window.png"_s, images::halfTransparent(images::photo(QSize(400, 300)))));
    EXPECT_FALSE(images::alphaAt(window, 50, 150));
    EXPECT_TRUE(images::alphaAt(window, 350, 150));
    const QImage palette = rendition(addImage(u"palette.png"_s, images::paletteWithTransparency(QSize(256, 256))));
    EXPECT_TRUE(images::alphaAt(palette, 8, 8));   // the transparent palette entry
    EXPECT_FALSE(images::alphaAt(palette, 40, 8)); // the red one

    // An alpha channel that is opaque everywhere gets no alpha plane.
    const QString opaque = addImage(u"opaque.png"_s, images::interface(QSize(300, 200), QImage::Format_ARGB32));
    rendition(opaque);
    EXPECT_FALSE(heicFacts(CompressionService::renditionPath(opaque, u"heic"_s))->alpha);
}

TEST_F(HeicRenditionTest, ColourProfileIsCarriedOver)
{
    const QImage source = withProfile(images::interface(QSize(300, 200)));
    const QString file = addImage(u"p3.png"_s, source);
    ASSERT_FALSE(ImageLoader::load(file).colorSpace().iccProfile().isEmpty()) << "the PNG lost its profile";
    rendition(file);
    EXPECT_EQ(heicFacts(CompressionService::renditionPath(file, u"heic"_s))->iccProfile,
              ImageLoader::load(file).colorSpace().iccProfile());

    const QString plain = addImage(u"plain.png"_s, images::interface(QSize(300, 200)));
    rendition(plain);
    EXPECT_TRUE(heicFacts(CompressionService::renditionPath(plain, u"heic"_s))->iccProfile.isEmpty());
}

TEST_F(HeicRenditionTest, FailuresNameTheirStepAndWriteNothing)
{
    const QString image = addImage(u"shot.png"_s, images::interface(QSize(200, 100)));
    struct Case
    {
        const char* name;
        QString source;
        CompressionService::Encoder encoder;
        std::optional<Error> error;
    };
    const CompressionService::Encoder real = m_service.encoder();
    const Case cases[] = {
        {"random bytes", addBytes(u"noise.png"_s, images::randomBytes(2048)), real, Error::cannotLoadImage},
        {"missing", path(u"gone.png"_s), real, Error::cannotLoadImage},
        {"no encoder", image,
         [](const QImage&, int) {
             return HeicWriter::Encoded{{}, u"none"_s, true};
         },
         Error::cannotCreateDestination},
        {"encoder error", image,
         [](const QImage&, int) {
             return HeicWriter::Encoded{{}, u"x265 gave up"_s, false};
         },
         Error::compressionFailed},
        {"undecodable result", image,
         [](const QImage&, int) {
             return HeicWriter::Encoded{QByteArray(5000, '\x01'), {}, false};
         },
         Error::invalidCompression},
        {"empty result", image, [](const QImage&, int) { return HeicWriter::Encoded{}; }, Error::invalidCompression},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_service.setEncoder(c.encoder);
        const QString target = path(u"out.heic"_s);
        const auto written = m_service.compressImage(c.source, target, 0.9);
        ASSERT_TRUE(std::holds_alternative<CompressionService::Failure>(written));
        EXPECT_EQ(std::get<CompressionService::Failure>(written).error, c.error);
        EXPECT_FALSE(QFileInfo::exists(target));
    }
    m_service.setEncoder(real);

    // A destination that exists is never replaced.
    const QString taken = addBytes(u"taken.heic"_s, "the user's own file");
    const auto written = m_service.compressImage(image, taken, 0.9);
    ASSERT_TRUE(std::holds_alternative<CompressionService::Failure>(written));
    EXPECT_FALSE(std::get<CompressionService::Failure>(written).message.isEmpty());
    EXPECT_EQ(hashOf(taken), QCryptographicHash::hash("the user's own file", QCryptographicHash::Sha256));
}

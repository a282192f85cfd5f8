#pragma once

#include <libheif/heif.h>

#include <memory>

// Owners of libheif objects. The release functions differ in constness, so
// one deleter template serves them all.
namespace heif {
template <auto Release>
struct Deleter
{
    template <typename T>
    void operator()(T* object) const
    {
        Release(object);
    }
};

using Context = std::unique_ptr<heif_context, Deleter<heif_context_free>>;
using Handle = std::unique_ptr<heif_image_handle, Deleter<heif_image_handle_release>>;
using Image = std::unique_ptr<heif_image, Deleter<heif_image_release>>;
using Encoder = std::unique_ptr<heif_encoder, Deleter<heif_encoder_release>>;
using DecodingOptions = std::unique_ptr<heif_decoding_options, Deleter<heif_decoding_options_free>>;

inline bool ok(const heif_error& error)
{
    return error.code == heif_error_Ok;
}
} // namespace heif

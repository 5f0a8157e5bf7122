// The Ogg Vorbis decoder (Debian's libstb-dev), built once here from its single header.
// Memory comes from the caller's arena; no files. Its bit reader shifts negative values
// (an end-of-packet -1) as every compiler defines them: UBSan's checks stay off for it,
// AddressSanitizer's stay on.
#define STB_VORBIS_NO_STDIO 1
#define STB_VORBIS_NO_PUSHDATA_API 1
#define STB_VORBIS_MAX_CHANNELS 2
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-value"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#if defined(__clang__)
#pragma clang attribute push(__attribute__((no_sanitize("undefined"))), apply_to = function)
#endif
#include <stb_vorbis.h>
#if defined(__clang__)
#pragma clang attribute pop
#endif
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#pragma once

// KZ_UNDER_ASAN is 1 in a build with AddressSanitizer (and so UBSan, which this project builds
// with it), 0 otherwise: for the few cases a sanitizer's own limits keep from running there.
#if defined(__SANITIZE_ADDRESS__)
#define KZ_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KZ_UNDER_ASAN 1
#endif
#endif
#ifndef KZ_UNDER_ASAN
#define KZ_UNDER_ASAN 0
#endif

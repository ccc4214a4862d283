// SENTREL_ASAN is defined when the tests run under AddressSanitizer, whose
// shadow memory cannot live under an address-space limit.
#ifndef SENTREL_TESTS_SANITIZERS_H
#define SENTREL_TESTS_SANITIZERS_H

#if defined(__SANITIZE_ADDRESS__)
#define SENTREL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SENTREL_ASAN 1
#endif
#endif

#endif

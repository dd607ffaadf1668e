// For the few small functions on every decoded field and printed line: the
// compiler's inlining budget runs out in the large generated files, so these
// are inlined by request. A build may define SIBDECODE_HOT_INLINE itself (the
// sanitizer and fuzzing builds leave inlining to the compiler).
#pragma once

#if !defined(SIBDECODE_HOT_INLINE)
#if defined(__GNUC__) || defined(__clang__)
#define SIBDECODE_HOT_INLINE inline __attribute__((always_inline))
#else
#define SIBDECODE_HOT_INLINE inline
#endif
#endif

#include "exceptions.h"

#if defined(_MSC_VER)
#include <intrin.h>
#define KELTAZ_RETURN_ADDRESS() _ReturnAddress()
#else
#define KELTAZ_RETURN_ADDRESS() __builtin_return_address(0)
#endif

// Not inlined, so the return address is in the code that raised the error.
#if defined(_MSC_VER)
__declspec(noinline)
#else
__attribute__((noinline))
#endif
Exception::Exception(std::wstring message)
    : message_(std::move(message)), address_(KELTAZ_RETURN_ADDRESS()) {}

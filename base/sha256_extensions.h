// SHA-256 with the SHA extensions of x86 processors (SHA-NI, from 2016's
// Atoms and 2017's Ryzens on): an instruction does two rounds, as fast as
// OpenSSL's hash (which uses them too) and more than twice as fast as Wine's
// CryptoAPI, a plain C hash. Used by
// sha256.h only on a processor that has them, checked at run time: the
// release setup.exe still runs on any i686 processor. Win32-free; nothing
// elsewhere than x86 and x86-64 (there CpuHasShaExtensions is false).
#pragma once

#include <cstddef>
#include <cstdint>

// True when this processor has the SHA extensions and the SSSE3 and SSE4.1
// instructions the hash uses with them (asked once, with CPUID).
bool CpuHasShaExtensions();

// One SHA-256 computation; only where CpuHasShaExtensions() is true.
class ShaExtensionsHash {
public:
    ShaExtensionsHash();
    void Update(const void* data, size_t size);
    // The digest of everything given to Update; the object is spent then.
    void Finish(uint8_t digest[32]);

private:
    uint32_t m_state[8];
    uint8_t m_block[64];
    size_t m_used = 0;       // bytes in m_block
    uint64_t m_length = 0;   // bytes given to Update
};

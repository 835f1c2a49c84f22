// SHA-256 through the platform's own implementation: CryptoAPI on Windows,
// OpenSSL's libcrypto elsewhere; on Windows with a processor that has the
// SHA extensions, sha256_extensions.h's (under Wine, CryptoAPI is a plain C
// hash, which took a fifth of the CPU of an installation of LZ4 payloads).
//
// Threads: one Sha256 belongs to the thread that uses it; hashes on
// different threads go on side by side (the decoding threads of the
// unattended run each check their own payloads).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything given to Update. False when the platform's
    // hash failed at any point (then |digest| is not to be trusted).
    bool Finish(Sha256Digest& digest);
    // The digest of everything given to Update so far, the hash going on
    // (a file that grows, vouched for after each addition). False as Finish.
    bool Peek(Sha256Digest& digest) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The digest of |size| bytes at |data|; false when they cannot be hashed.
bool HashBytes(const void* data, size_t size, Sha256Digest& digest);


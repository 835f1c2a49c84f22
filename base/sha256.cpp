#include "base/sha256.h"

#ifdef _WIN32
#include "base/sha256_extensions.h"

#include <windows.h>
#include <wincrypt.h>
// The headers show it only to builds for Windows XP SP3 and later; the
// AES provider has it from then on.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif
#else
#include <openssl/evp.h>
#endif

#ifdef _WIN32
namespace {

// A verify-only context of the AES provider, the one that knows SHA-256,
// acquired once for the whole process at the first hash: acquiring one
// loads the provider and reads its registry settings, which would cost more
// than hashing a small file.
//
// Threads: any thread may hash. The one context is made by the first
// caller of Get (a function-local static: the language makes the others
// wait for it) and only read afterwards; each Sha256 creates a hash object
// of its own over it, which CryptoAPI allows from several threads at once.
class HashProvider {
public:
    // The process's context; zero when it cannot be acquired (then no hash
    // can be made, and every Finish is false).
    static HCRYPTPROV Get() {
        static const HashProvider provider;
        return provider.m_provider;
    }

    ~HashProvider() {
        if (m_provider) CryptReleaseContext(m_provider, 0);
    }
    HashProvider(const HashProvider&) = delete;
    HashProvider& operator=(const HashProvider&) = delete;

private:
    HashProvider() {
        if (!CryptAcquireContextA(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) m_provider = 0;
    }

    HCRYPTPROV m_provider = 0;
};

}  // namespace

// A hash object of its own over the process's one provider; on a processor
// with the SHA extensions, the hash is computed here instead
// (sha256_extensions.h): CryptoAPI is a plain C hash under Wine, and every
// byte a run places is hashed.
struct Sha256::State {
    HCRYPTHASH hash = 0;
    bool good = false;
    std::unique_ptr<ShaExtensionsHash> fast;

    State() {
        if (CpuHasShaExtensions()) {
            fast.reset(new ShaExtensionsHash);
            good = true;
            return;
        }
        const HCRYPTPROV provider = HashProvider::Get();
        good = provider && CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash);
    }
    ~State() {
        if (hash) CryptDestroyHash(hash);
    }
    void Update(const void* data, size_t size) {
        if (fast) {
            fast->Update(data, size);
            return;
        }
        const BYTE* bytes = static_cast<const BYTE*>(data);
        while (good && size > 0) {
            const DWORD part = size > 0x40000000u ? 0x40000000u : DWORD(size);
            good = CryptHashData(hash, bytes, part, 0) != 0;
            bytes += part;
            size -= part;
        }
    }
    bool Finish(Sha256Digest& digest) {
        if (fast) {
            fast->Finish(digest.data());
            return true;
        }
        DWORD length = DWORD(digest.size());
        return good && CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &length, 0) && length == digest.size();
    }
    bool Peek(Sha256Digest& digest) const {
        if (fast) {
            ShaExtensionsHash copy = *fast;
            copy.Finish(digest.data());
            return true;
        }
        HCRYPTHASH copy = 0;
        DWORD length = DWORD(digest.size());
        const bool peeked = good && CryptDuplicateHash(hash, nullptr, 0, &copy) &&
                            CryptGetHashParam(copy, HP_HASHVAL, digest.data(), &length, 0) && length == digest.size();
        if (copy) CryptDestroyHash(copy);
        return peeked;
    }
};
#else
struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool good = context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;

    ~State() { EVP_MD_CTX_free(context); }
    void Update(const void* data, size_t size) { good = good && EVP_DigestUpdate(context, data, size) == 1; }
    bool Finish(Sha256Digest& digest) {
        unsigned length = 0;
        return good && EVP_DigestFinal_ex(context, digest.data(), &length) == 1 && length == digest.size();
    }
    bool Peek(Sha256Digest& digest) const {
        State copy;
        copy.good = good && copy.good && EVP_MD_CTX_copy_ex(copy.context, context) == 1;
        return copy.Finish(digest);
    }
};
#endif

Sha256::Sha256() : m_state(new State) {}
Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size) { m_state->Update(data, size); }

bool Sha256::Finish(Sha256Digest& digest) { return m_state->Finish(digest); }

bool Sha256::Peek(Sha256Digest& digest) const { return m_state->Peek(digest); }

bool HashBytes(const void* data, size_t size, Sha256Digest& digest) {
    Sha256 hash;
    hash.Update(data, size);
    return hash.Finish(digest);
}


#include "common/AesCipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "common/XLog.h"

const char kAesKeyText[] = "7D09E3A58B14C62F";

namespace {

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

}  // namespace

bool AesOfbTransform(const std::string& input, const std::string& key16, std::string& out)
{
    out.clear();
    if (!XCHECK(key16.size() == 16))
        return false;
    std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> context(EVP_CIPHER_CTX_new());
    if (!XCHECK(context))
        return false;
    const auto* key = reinterpret_cast<const unsigned char*>(key16.data());
    // The key bytes double as the initialisation vector; every call starts afresh.
    if (!XCHECK(EVP_EncryptInit_ex(context.get(), EVP_aes_128_ofb(), nullptr, key, key) == 1))
        return false;

    std::string result(input.size(), '\0');
    size_t done = 0;
    while (done < input.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(input.size() - done, INT_MAX / 2));
        int written = 0;
        if (!XCHECK(EVP_EncryptUpdate(context.get(), reinterpret_cast<unsigned char*>(&result[done]), &written,
                                      reinterpret_cast<const unsigned char*>(input.data() + done), chunk) == 1) ||
            !XCHECK(written == chunk))
            return false;
        done += static_cast<size_t>(written);
    }
    out = std::move(result);
    return true;
}

std::string AesEncodeText(const std::string& bytes)
{
    std::string out;
    AesOfbTransform(bytes, kAesKeyText, out);
    return out;
}

std::string AesDecodeText(const std::string& bytes)
{
    return AesEncodeText(bytes);
}
